#include "platform/widgets/SystemTray.h"
#include "platform/X11.h"

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <qpa/qplatformnativeinterface.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QFile>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace framlet::SystemTray {
namespace {

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

// The name of the local process behind a window's X client, through the X-Resource extension;
// empty for a remote client or a server without the extension.
QString programOwning(xcb_connection_t* c, xcb_window_t window) {
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    Reply<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &wanted), nullptr),
        &std::free);
    if (!reply) {
        return {};
    }
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
         xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) == 1) {
            const uint32_t pid = *xcb_res_client_id_value_value(it.data);
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            if (comm.open(QIODevice::ReadOnly)) {
                return QString::fromLocal8Bit(comm.readAll().trimmed());
            }
        }
    }
    return {};
}

bool isProxy(const QString& program) {
    return program == QLatin1String("xembedsniproxy") || program == QLatin1String("gnome-shell");
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

Hosts probe() {
    Hosts hosts;
    hosts.statusNotifier = hasStatusNotifierHost();
    if (xcb_connection_t* c = connection()) {
        const xcb_window_t manager = managerWindow(c);
        hosts.xembed = manager != XCB_WINDOW_NONE;
        if (hosts.xembed) {
            hosts.xembedProgram = programOwning(c, manager);
        }
    }
    return hosts;
}

Choice choose(const Hosts& hosts) {
    const QString xembed = hosts.xembedProgram.isEmpty()
                               ? QStringLiteral("XEmbed")
                               : QStringLiteral("XEmbed (%1)").arg(hosts.xembedProgram);
    if (hosts.statusNotifier && hosts.xembed) {
        if (isProxy(hosts.xembedProgram)) {
            return {Kind::statusNotifier,
                    QStringLiteral("StatusNotifierItem over %1 — that tray only proxies icons "
                                   "into StatusNotifierItem, so it would not keep the drag either")
                        .arg(xembed)};
        }
        return {Kind::xembed, QStringLiteral("%1 over StatusNotifierItem — it embeds the icon "
                                             "itself, which keeps dragging from the tray")
                                  .arg(xembed)};
    }
    if (hosts.statusNotifier) {
        return {Kind::statusNotifier,
                QStringLiteral("StatusNotifierItem — the only tray host; no dragging from the "
                               "tray")};
    }
    if (hosts.xembed) {
        return {Kind::xembed, QStringLiteral("%1 — the only tray host").arg(xembed)};
    }
    return {Kind::none, QStringLiteral("none")};
}

Kind detect() {
    return choose(probe()).kind;
}

bool dock(QWidget* widget) {
    xcb_connection_t* c = connection();
    const xcb_window_t manager = c ? managerWindow(c) : xcb_window_t{XCB_WINDOW_NONE};
    if (manager == XCB_WINDOW_NONE) {
        return false;
    }
    // Qt's X11 backend treats a window of this name as a tray icon: it gives it the visual the
    // tray asks for, requests the dock, defers mapping it until the tray reports the embedding and
    // answers the XEmbed messages. It only knows the tray once asked for it, though: without
    // this the icon takes the screen's visual even inside a tray that wants a 32-bit one (the
    // xfce panel), cannot take on the tray's background, and shows stray pixels; and its dock
    // request goes nowhere.
    if (QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface()) {
        native->nativeResourceForScreen(QByteArrayLiteral("traywindow"),
                                        QGuiApplication::primaryScreen());
    }
    widget->setObjectName(QStringLiteral("QSystemTrayIconSys"));
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
