#include "OtherKeyboardClient.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

#include "platform/X11.h"

namespace framlet::test {

using X11::firstRoot;

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
    const auto pointer = X11::reply(xcb_query_pointer_reply(
        m_connection, xcb_query_pointer(m_connection, firstRoot(m_connection)), nullptr));
    return pointer ? pointer->mask & 0xff : 0;
}

std::uint8_t OtherKeyboardClient::keycode(std::uint32_t keysym) const {
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(m_connection), &xcb_key_symbols_free);
    const auto codes = X11::reply(xcb_key_symbols_get_keycode(symbols.get(), keysym));
    return codes ? codes.get()[0] : 0;
}

}  // namespace framlet::test
