#pragma once

#include <QColor>
#include <optional>

class QWidget;

namespace framlet {

// What kind of tray the desktop offers, and docking a widget of our own into an XEmbed tray.
//
// A StatusNotifierItem host (KDE, GNOME with the AppIndicator extension) only reports activation,
// so there QSystemTrayIcon is used. An XEmbed tray (Xfce, i3, trayer, ...) embeds a real window of
// ours, which then receives mouse events: that is what makes dragging out of the tray possible.
namespace SystemTray {

enum class Kind { statusNotifier, xembed, none };

Kind detect();

// Asks the XEmbed tray manager to embed the widget's window; the widget shows once the tray has
// embedded it. Call before the widget's native window exists. False when there is no manager.
bool dock(QWidget* widget);

// The colour the tray asks icons to draw in (_NET_SYSTEM_TRAY_COLORS), when it says.
std::optional<QColor> foregroundColor();

}  // namespace SystemTray
}  // namespace framlet
