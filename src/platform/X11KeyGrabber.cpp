#include "platform/X11KeyGrabber.h"
#include "platform/X11.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <array>
#include <cstdlib>
#include <memory>

#include "platform/VirtualKeyMap.h"

namespace framlet {
namespace {

using KeySymbols = std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)>;

// The modifier bits a key event's state can carry; the rest are pointer buttons.
constexpr std::uint16_t kKeyboardModifiers = 0xff;

xcb_connection_t* qtConnection() {
    return X11::connection();
}

using X11::firstRoot;

KeySymbols keySymbols(xcb_connection_t* c) {
    return KeySymbols(xcb_key_symbols_alloc(c), &xcb_key_symbols_free);
}

// The first key of the current mapping that produces the symbol, on any shift level; 0 for none.
xcb_keycode_t keycodeFor(xcb_key_symbols_t* symbols, xcb_keysym_t symbol) {
    const std::unique_ptr<xcb_keycode_t, decltype(&std::free)> codes(
        xcb_key_symbols_get_keycode(symbols, symbol), &std::free);
    return codes ? codes.get()[0] : XCB_NO_SYMBOL;
}

// Num Lock is whichever modifier the modifier map puts its key on (usually Mod2); 0 when none.
std::uint16_t numLockMask(xcb_connection_t* c, xcb_key_symbols_t* symbols) {
    const xcb_keycode_t numLock = keycodeFor(symbols, XK_Num_Lock);
    const std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> map(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr), &std::free);
    if (numLock == XCB_NO_SYMBOL || !map) {
        return 0;
    }
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            if (keycodes[modifier * perModifier + i] == numLock) {
                return static_cast<std::uint16_t>(1u << modifier);
            }
        }
    }
    return 0;
}

std::array<std::uint16_t, 4> lockVariants(std::uint16_t numLock) {
    const std::uint16_t capsLock = XCB_MOD_MASK_LOCK;
    return {0, capsLock, numLock, static_cast<std::uint16_t>(capsLock | numLock)};
}

void ungrabVariants(xcb_connection_t* c, xcb_keycode_t keycode, std::uint16_t modifiers,
                    std::uint16_t numLock) {
    for (const std::uint16_t variant : lockVariants(numLock)) {
        xcb_ungrab_key(c, keycode, firstRoot(c), modifiers | variant);
    }
    xcb_flush(c);
}

// Sends every variant before checking any, so the grab costs one round trip. An ungrab only
// touches this client's own grabs, so the rollback cannot disturb another client's. Events go to
// the root window even while one of the program's own windows has the focus (no owner events).
std::int32_t grabVariants(xcb_connection_t* c, xcb_keycode_t keycode, std::uint16_t modifiers,
                          std::uint16_t numLock) {
    std::array<xcb_void_cookie_t, 4> cookies{};
    const auto variants = lockVariants(numLock);
    for (std::size_t i = 0; i < variants.size(); ++i) {
        cookies[i] = xcb_grab_key_checked(c, 0, firstRoot(c), modifiers | variants[i], keycode,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    std::int32_t status = X11KeyGrabber::grabbed;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            if (status == X11KeyGrabber::grabbed) {
                status = error->error_code;
            }
            std::free(error);
        }
    }
    if (status != X11KeyGrabber::grabbed) {
        ungrabVariants(c, keycode, modifiers, numLock);
    }
    return status;
}

}  // namespace

X11KeyGrabber& X11KeyGrabber::shared() {
    static X11KeyGrabber grabber;
    return grabber;
}

X11KeyGrabber::X11KeyGrabber(Backend backend, QObject* parent)
    : KeyGrabber(parent), m_backend(backend) {
}

X11KeyGrabber::~X11KeyGrabber() {
    while (!m_grabs.empty()) {
        ungrab(m_grabs.begin()->first);
    }
}

X11KeyGrabber::Result X11KeyGrabber::grab(std::uint32_t virtualKeyCode,
                                          std::uint32_t carbonModifiers,
                                          std::function<void()> onPress) {
    xcb_connection_t* c = m_backend == Backend::x11 ? qtConnection() : nullptr;
    if (!c) {
        return {noX11Connection};
    }
    const auto symbol = VirtualKeyMap::keysym(virtualKeyCode);
    if (!symbol) {
        return {unknownKeyCode};
    }
    const KeySymbols symbols = keySymbols(c);
    const xcb_keycode_t keycode = symbols ? keycodeFor(symbols.get(), *symbol) : XCB_NO_SYMBOL;
    if (keycode == XCB_NO_SYMBOL) {
        return {keyNotOnKeyboard};
    }
    const std::uint16_t modifiers = VirtualKeyMap::xModifiers(carbonModifiers);
    if (holds(keycode, modifiers)) {
        return {alreadyGrabbed};
    }
    const std::uint16_t numLock = numLockMask(c, symbols.get());
    if (const std::int32_t status = grabVariants(c, keycode, modifiers, numLock)) {
        return {status};
    }
    if (!m_filtering) {
        QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
        m_filtering = true;
    }
    const Handle handle = m_nextHandle++;
    m_grabs[handle] =
        Grab{keycode, modifiers, static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock),
             std::move(onPress)};
    return {grabbed, handle};
}

void X11KeyGrabber::ungrab(Handle handle) {
    const auto found = m_grabs.find(handle);
    if (found == m_grabs.end()) {
        return;
    }
    const Grab grab = std::move(found->second);
    m_grabs.erase(found);
    // After the application is gone its connection is too, and the server dropped the grabs.
    if (xcb_connection_t* c = qtConnection()) {
        const std::uint16_t numLock = grab.ignoredLocks & ~XCB_MOD_MASK_LOCK;
        ungrabVariants(c, grab.keycode, grab.modifiers, numLock);
    }
}

bool X11KeyGrabber::holds(std::uint8_t keycode, std::uint16_t modifiers) const {
    return std::any_of(m_grabs.begin(), m_grabs.end(), [&](const auto& entry) {
        return entry.second.keycode == keycode && entry.second.modifiers == modifiers;
    });
}

bool X11KeyGrabber::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (m_grabs.empty() || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS:
            return handleKeyPress(event);
        case XCB_KEY_RELEASE:
            handleKeyRelease(event);
            return false;
        default:
            return false;
    }
}

// Only presses reported on the root window come from a grab: while one of the program's own
// windows grabs the keyboard (the shortcut recorder does), the same keys go there instead.
bool X11KeyGrabber::handleKeyPress(const void* message) {
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    xcb_connection_t* c = qtConnection();
    if (!c || press->event != firstRoot(c)) {
        return false;
    }
    for (auto& [handle, grab] : m_grabs) {
        const std::uint16_t state = press->state & kKeyboardModifiers & ~grab.ignoredLocks;
        if (grab.keycode != press->detail || state != grab.modifiers) {
            continue;
        }
        if (!grab.held) {  // auto-repeat sends further presses without releases
            grab.held = true;
            reportLater(handle);
        }
        return true;
    }
    return false;
}

// The grab keeps the keyboard until the key goes up, so the release comes here too.
void X11KeyGrabber::handleKeyRelease(const void* message) {
    const auto* release = static_cast<const xcb_key_release_event_t*>(message);
    for (auto& entry : m_grabs) {
        if (entry.second.keycode == release->detail) {
            entry.second.held = false;
        }
    }
}

void X11KeyGrabber::reportLater(Handle handle) {
    QMetaObject::invokeMethod(
        this,
        [this, handle] {
            const auto found = m_grabs.find(handle);
            if (found != m_grabs.end()) {
                const std::function<void()> onPress = found->second.onPress;  // it may ungrab
                onPress();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace framlet
