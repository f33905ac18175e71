#include "platform/ShortcutRoute.h"

#include <QStringList>

namespace framlet {

ShortcutSession ShortcutSession::current(bool x11Connection) {
    return {
        qEnvironmentVariable("XDG_SESSION_TYPE").compare(u"wayland", Qt::CaseInsensitive) == 0 ||
            !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
        x11Connection, qEnvironmentVariable("XDG_CURRENT_DESKTOP")};
}

ShortcutRoute chooseShortcutRoute(const ShortcutSession& session,
                                  const std::function<bool()>& portalOffered,
                                  const std::function<bool()>& gnomeShortcutsAvailable) {
    if (!session.wayland) {
        return session.x11 ? ShortcutRoute::x11Grab : ShortcutRoute::none;
    }
    const bool gnome =
        session.desktop.split(u':').contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
    if (gnome && gnomeShortcutsAvailable()) {
        return ShortcutRoute::gnomeCommand;
    }
    return portalOffered() ? ShortcutRoute::portal : ShortcutRoute::none;
}

}  // namespace framlet
