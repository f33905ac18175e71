#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <optional>

class QScreen;

namespace framlet {

// Where the shelf opens from: the tray icon's global geometry when the tray reports it (an XEmbed
// tray does; with a StatusNotifierItem host it is the point clicked, which lies on the panel, so
// keeping the shelf inside the work area sets it against the panel) and the screen it is on.
struct PanelAnchor {
    std::optional<QRect> iconGeometry;
    QPointer<QScreen> screen;
};

// The shelf's frame, worked out from plain rectangles so the rule holds without a display.
namespace PanelPlacement {

inline constexpr QSize defaultSize{380, 420};
inline constexpr int gapBelowIcon = 4;
inline constexpr int workAreaMargin = 8;

// The content's preferred size, with each missing or non-positive component replaced by the
// default.
QSize panelSize(QSize preferred);

// Centred on the icon and 4 px beyond it: below an icon in the upper half of the work area,
// above one in the lower half (a tray at the bottom of the screen). Without an icon, the top right
// corner of the work area. Then kept 8 px inside the work area; a panel larger than the work
// area keeps its top right corner inside, as a menu dropping from the tray would.
QRect frame(QSize size, const QRect& workArea, const std::optional<QRect>& icon);

// Stands in for an icon that never told where it is: a point on the panel the screen's work area
// leaves out (the widest strip between the screen's edge and the work area's), at the panel's
// end where trays sit: the right end of a top or bottom panel, the top end of a side one. Without
// any panel, just above the work area's top right corner.
QRect panelCorner(const QRect& screen, const QRect& workArea);

}  // namespace PanelPlacement
}  // namespace framlet
