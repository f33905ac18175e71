#pragma once

#include <QString>
#include <functional>

namespace framlet {

// How the global shortcut reaches this program in the session it runs in.
//
// In a Wayland session an X11 grab, even through XWayland, hears the keys only while an X11
// window has the keyboard, so it is never taken there. GNOME keeps custom shortcuts that run a
// command, which hear every key; its GlobalShortcuts portal, where one answers at all, may be
// another desktop's backend that fails. Elsewhere the desktop's GlobalShortcuts portal.
enum class ShortcutRoute { x11Grab, portal, gnomeCommand, none };

struct ShortcutSession {
    bool wayland = false;  // XDG_SESSION_TYPE is wayland, or WAYLAND_DISPLAY is set
    bool x11 = false;      // the program has an X11 connection
    QString desktop;       // XDG_CURRENT_DESKTOP: names separated by colons

    static ShortcutSession current(bool x11Connection);
};

// The portal and GNOME are asked only when the answer depends on them.
ShortcutRoute chooseShortcutRoute(const ShortcutSession& session,
                                  const std::function<bool()>& portalOffered,
                                  const std::function<bool()>& gnomeShortcutsAvailable);

}  // namespace framlet
