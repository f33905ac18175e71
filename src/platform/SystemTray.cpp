#include "SystemTray.h"
#include "X11.h"

#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace framlet::SystemTray {
namespace {

constexpr uint32_t kRequestDock = 0;  // SYSTEM_TRAY_REQUEST_DOCK
constexpr uint32_t kXEmbedMapped = 1;

using X11::atom;
using X11::connection;
using X11::Reply;

xcb_window_t managerWindow(xcb_connection_t* c) {
    const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(X11::screenNumber());
    const xcb_atom_t selectionAtom = atom(c, selection.constData());
    if (selectionAtom == XCB_ATOM_NONE) {
        return XCB_WINDOW_NONE;
    }
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selectionAtom), nullptr),
        &std::free);
    return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
}

bool hasStatusNotifierHost() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        return false;
    }
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                           QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

}  // namespace

Kind detect() {
    if (hasStatusNotifierHost()) {
        return Kind::statusNotifier;
    }
    xcb_connection_t* c = connection();
    return c && managerWindow(c) != XCB_WINDOW_NONE ? Kind::xembed : Kind::none;
}

bool dock(QWidget* widget) {
    xcb_connection_t* c = connection();
    const xcb_window_t manager = c ? managerWindow(c) : xcb_window_t{XCB_WINDOW_NONE};
    if (manager == XCB_WINDOW_NONE) {
        return false;
    }
    // Qt's X11 backend treats a window of this name as a tray icon: it defers mapping it until
    // the tray reports the embedding and answers the XEmbed messages.
    widget->setObjectName(QStringLiteral("QSystemTrayIconSys"));
    const auto window = static_cast<xcb_window_t>(widget->winId());

    const uint32_t info[] = {0, kXEmbedMapped};  // protocol version, flags
    const xcb_atom_t infoAtom = atom(c, "_XEMBED_INFO");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, infoAtom, infoAtom, 32, 2, info);

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = manager;
    message.type = atom(c, "_NET_SYSTEM_TRAY_OPCODE");
    message.data.data32[0] = XCB_CURRENT_TIME;
    message.data.data32[1] = kRequestDock;
    message.data.data32[2] = window;
    xcb_send_event(c, 0, manager, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    widget->show();  // Qt maps it when the tray has embedded it
    return true;
}

std::optional<QColor> foregroundColor() {
    xcb_connection_t* c = connection();
    const xcb_window_t manager = c ? managerWindow(c) : xcb_window_t{XCB_WINDOW_NONE};
    if (manager == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    const xcb_atom_t colors = atom(c, "_NET_SYSTEM_TRAY_COLORS");
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, manager, colors, XCB_ATOM_CARDINAL, 0, 12),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 12) {
        return std::nullopt;
    }
    // Red, green and blue of the foreground colour, each 16 bits in a 32-bit cardinal.
    const auto* rgb = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return QColor::fromRgba64(static_cast<quint16>(rgb[0]), static_cast<quint16>(rgb[1]),
                              static_cast<quint16>(rgb[2]));
}

}  // namespace framlet::SystemTray
