#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>

class QPainter;

namespace framlet {

// The tray glyph: a small lantern whose glowing dot grows with the fill level (0 empty, 1 lit).
// Drawn in code at any pixel size from an 18 x 18 design grid, in one colour (only alpha varies),
// so the tray can show it in its own foreground colour.
namespace LanternIcon {

QImage statusIcon(double fill, int pixelSize, const QColor& color);
// The same drawing as a scalable image, for the icon theme.
QByteArray svg(double fill, const QColor& color);
// Draws into any painter whose device is pixelSize wide and high.
void paint(QPainter& painter, double fill, int pixelSize, const QColor& color);

// The shapes on the design grid (y up): the hollow body with the bands of its cap, and the glow
// inside it, whose radius grows with the fill level. Both are areas only, no strokes.
QPainterPath body();
QPainterPath glow(double fill);

// The fill level of animation frame n (1..16) of the capture animation: a cubic ease-out.
double fillForFrame(int frame);

}  // namespace LanternIcon
}  // namespace framlet
