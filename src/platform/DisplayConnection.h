#pragma once

#include <QString>
#include <functional>

namespace framlet {

// Whether a graphical session can be reached, checked before any QApplication exists so that a
// missing display gives a clear message instead of the toolkit aborting.
namespace DisplayConnection {

// An empty string when the display can be reached, otherwise why not.
QString problem();

// What decides the window system the program's windows go through.
struct Environment {
    QString explicitPlatform;     // QT_QPA_PLATFORM as the user set it
    bool waylandSession = false;  // XDG_SESSION_TYPE is wayland, or WAYLAND_DISPLAY is set
    bool x11Display = false;      // DISPLAY is set: an X server, XWayland in a Wayland session

    static Environment current();
};

// The platform plugin to ask Qt for, or empty to leave Qt's own choice. In a Wayland session
// with XWayland the windows go through X11: there a window may place itself beside the tray icon
// and stay out of the task list, which no Wayland window can do on GNOME. Without a reachable
// XWayland, Wayland itself (a DISPLAY that does not answer must not stop the program). An
// explicit choice of the user's always stands; `xReachable` is asked only when it could change
// the answer.
QString choosePlatform(const Environment& environment, const std::function<bool()>& xReachable);

// Sets QT_QPA_PLATFORM from choosePlatform(); call before the QApplication exists. Returns the
// plugin chosen, empty when Qt chooses.
QString applyPlatformChoice();
// Takes back what applyPlatformChoice() set, once the QApplication exists, so that the programs
// this one starts (a file opened, a relaunch) choose their own window system.
void forgetPlatformChoice();

}  // namespace DisplayConnection
}  // namespace framlet
