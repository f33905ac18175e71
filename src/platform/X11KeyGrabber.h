#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/KeyGrabber.h"

namespace framlet {

// Global key combinations on X11: grabs a combination on the root window of Qt's own X
// connection, so that it reaches this program whichever window has the keyboard, and calls back
// on the main thread when it is pressed.
//
// Each combination is grabbed together with its Caps Lock and Num Lock variants, so the lock
// keys do not get in the way. A grab succeeds for all variants or leaves none behind.
class X11KeyGrabber : public KeyGrabber, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // unavailable behaves as a session without X11 would: for tests, and for a Wayland session,
    // where a grab through XWayland would hear the keys only while an X11 window has focus.
    enum class Backend { x11, unavailable };

    // The grabber over Qt's connection; create it once QGuiApplication exists.
    static X11KeyGrabber& shared();

    explicit X11KeyGrabber(Backend backend = Backend::x11, QObject* parent = nullptr);
    ~X11KeyGrabber() override;

    // onPress runs once per press, from the event loop, never while a native event is dispatched;
    // holding the keys down does not repeat it.
    Result grab(std::uint32_t virtualKeyCode, std::uint32_t carbonModifiers,
                std::function<void()> onPress) override;
    // Releases every variant of the grab; unknown handles are ignored.
    void ungrab(Handle handle) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        std::uint8_t keycode = 0;
        std::uint16_t modifiers = 0;
        std::uint16_t ignoredLocks = 0;
        std::function<void()> onPress;
        bool held = false;
    };

    bool holds(std::uint8_t keycode, std::uint16_t modifiers) const;
    bool handleKeyPress(const void* event);
    void handleKeyRelease(const void* event);
    void reportLater(Handle handle);

    Backend m_backend;
    std::map<Handle, Grab> m_grabs;
    Handle m_nextHandle = 1;
    bool m_filtering = false;
};

}  // namespace framlet
