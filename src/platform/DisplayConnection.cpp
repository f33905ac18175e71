#include "platform/DisplayConnection.h"

#include <xcb/xcb.h>

#include <utility>

namespace framlet::DisplayConnection {

namespace {

bool xServerAnswers() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return error == 0;
}

}  // namespace

Environment Environment::current() {
    return {
        qEnvironmentVariable("QT_QPA_PLATFORM"),
        qEnvironmentVariable("XDG_SESSION_TYPE").compare(u"wayland", Qt::CaseInsensitive) == 0 ||
            !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
        !qEnvironmentVariableIsEmpty("DISPLAY")};
}

QString choosePlatform(const Environment& environment, const std::function<bool()>& xReachable) {
    if (!environment.explicitPlatform.isEmpty() || !environment.waylandSession) {
        return {};
    }
    return environment.x11Display && xReachable() ? QStringLiteral("xcb")
                                                  : QStringLiteral("wayland");
}

namespace {
bool chosenHere = false;
}  // namespace

QString applyPlatformChoice() {
    const QString chosen = choosePlatform(Environment::current(), &xServerAnswers);
    if (!chosen.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", chosen.toLatin1());
        chosenHere = true;
    }
    return chosen;
}

void forgetPlatformChoice() {
    if (std::exchange(chosenHere, false)) {
        qunsetenv("QT_QPA_PLATFORM");
    }
}

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
    return xServerAnswers() ? QString()
                            : QStringLiteral("cannot connect to the X display %1")
                                  .arg(qEnvironmentVariable("DISPLAY"));
}

}  // namespace framlet::DisplayConnection
