#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

namespace framlet {

// What kind of tray the desktop offers, and docking a widget of our own into an XEmbed tray.
//
// A StatusNotifierItem host (KDE, GNOME with the AppIndicator extension) only reports activation
// and where it happened, so there the program serves a StatusNotifierItem of its own. An XEmbed
// tray (Xfce, i3, trayer, ...) embeds a real window of ours, which then receives mouse events: that
// is what makes dragging out of the tray possible.
namespace SystemTray {

enum class Kind { statusNotifier, xembed, none };

// The tray hosts a desktop offers at once: a StatusNotifierItem host, and the program that owns
// the XEmbed tray selection (empty when it cannot be told).
struct Hosts {
    bool statusNotifier = false;
    bool xembed = false;
    QString xembedProgram;
};

// The host that keeps the most of what the icon can do, and why, in words for the log.
struct Choice {
    Kind kind = Kind::none;
    QString reason;
};

Hosts probe();
// An XEmbed tray that embeds the icon itself keeps dragging from the tray, so it wins over a
// StatusNotifierItem host; one that only proxies icons into StatusNotifierItem (Plasma's
// xembedsniproxy, GNOME Shell's tray for extensions) keeps nothing more, and draws the icon
// worse, so there the StatusNotifierItem host wins.
Choice choose(const Hosts& hosts);
Kind detect();

// Asks the XEmbed tray manager to embed the widget's window; the widget shows once the tray has
// embedded it. Call before the widget's native window exists. False when there is no manager.
bool dock(QWidget* widget);

// The colour the tray asks icons to draw in (_NET_SYSTEM_TRAY_COLORS), when it says.
std::optional<QColor> foregroundColor();

}  // namespace SystemTray
}  // namespace framlet
