#include "OtherKeyboardClient.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

namespace framlet::test {
namespace {

xcb_window_t firstRoot(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

}  // namespace

OtherKeyboardClient::OtherKeyboardClient() : m_connection(xcb_connect(nullptr, nullptr)) {
}

OtherKeyboardClient::~OtherKeyboardClient() {
    xcb_disconnect(m_connection);
}

bool OtherKeyboardClient::grab(std::uint32_t keysym, std::uint16_t modifiers) {
    xcb_generic_error_t* error = xcb_request_check(
        m_connection,
        xcb_grab_key_checked(m_connection, 0, firstRoot(m_connection), modifiers, keycode(keysym),
                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return error == nullptr;
}

void OtherKeyboardClient::ungrab(std::uint32_t keysym, std::uint16_t modifiers) {
    std::free(xcb_request_check(
        m_connection,
        xcb_ungrab_key_checked(m_connection, keycode(keysym), firstRoot(m_connection), modifiers)));
}

std::uint16_t OtherKeyboardClient::modifierState() const {
    const std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> pointer(
        xcb_query_pointer_reply(m_connection,
                                xcb_query_pointer(m_connection, firstRoot(m_connection)), nullptr),
        &std::free);
    return pointer ? pointer->mask & 0xff : 0;
}

std::uint8_t OtherKeyboardClient::keycode(std::uint32_t keysym) const {
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(m_connection), &xcb_key_symbols_free);
    const std::unique_ptr<xcb_keycode_t, decltype(&std::free)> codes(
        xcb_key_symbols_get_keycode(symbols.get(), keysym), &std::free);
    return codes ? codes.get()[0] : 0;
}

}  // namespace framlet::test
