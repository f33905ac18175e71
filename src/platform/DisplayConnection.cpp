#include "platform/DisplayConnection.h"

#include <xcb/xcb.h>

namespace framlet::DisplayConnection {

QString problem() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(u"xcb")) {
        return {};  // an explicit platform plugin (offscreen, wayland) reports for itself
    }
    const bool hasX =
        qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariable("DISPLAY").isEmpty();
    if (!hasX) {
        return qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
                   ? QString()
                   : QStringLiteral("no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return error == 0 ? QString()
                      : QStringLiteral("cannot connect to the X display %1")
                            .arg(qEnvironmentVariable("DISPLAY"));
}

}  // namespace framlet::DisplayConnection
