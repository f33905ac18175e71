#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace framlet {

// Grabs global key combinations: a combination grabbed here reaches this program whichever
// window has the keyboard, and its callback runs on the main thread at each press. X11 has one
// implementation; a desktop without it, or a test, has others.
class KeyGrabber : public QObject {
    Q_OBJECT

public:
    // Status codes of grab(): 0, an X protocol error code (positive), or a negative code of ours.
    static constexpr std::int32_t grabbed = 0;
    // X's BadAccess: another client holds the combination. Also given when this program does.
    static constexpr std::int32_t alreadyGrabbed = 10;
    // No X11 connection, as in a native Wayland session.
    static constexpr std::int32_t noX11Connection = -1;
    // The virtual key code is not a key of the ANSI keyboard.
    static constexpr std::int32_t unknownKeyCode = -2;
    // The current keyboard mapping has no key that produces the key's symbol.
    static constexpr std::int32_t keyNotOnKeyboard = -3;
    // The desktop's shortcut portal: the user declined the binding, or it failed otherwise.
    static constexpr std::int32_t portalDeclined = -4;
    static constexpr std::int32_t portalFailed = -5;
    // The desktop runs a command on its own shortcuts and has none for this program yet.
    static constexpr std::int32_t commandNotBound = -6;

    using Handle = std::uint32_t;
    struct Result {
        std::int32_t status = grabbed;
        Handle handle = 0;  // valid when status is grabbed
    };

    using QObject::QObject;

    // onPress runs once per press, from the event loop; holding the keys down does not repeat it.
    virtual Result grab(std::uint32_t virtualKeyCode, std::uint32_t carbonModifiers,
                        std::function<void()> onPress) = 0;
    // Releases the grab; unknown handles are ignored.
    virtual void ungrab(Handle handle) = 0;

Q_SIGNALS:
    // A desktop that answers later (a portal) may refuse a grab after grab() returned it as
    // grabbed; this comes from the event loop with the grab's handle and a status code, and the
    // grab is gone. Grabbers that answer at once never emit it.
    void refused(framlet::KeyGrabber::Handle handle, std::int32_t status);
    // A desktop that answers later has bound the grab to the keys it describes ("Meta+Shift+2");
    // an empty description: it lets the user pick the keys in its own settings, and none are
    // bound yet. Emitted again whenever the desktop's binding changes.
    void bound(framlet::KeyGrabber::Handle handle, const QString& description);
    // What the desktop would answer to a grab changed (the user let it run a command for this
    // program, or took that back): grab again.
    void routeChanged();
};

}  // namespace framlet
