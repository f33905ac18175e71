#pragma once

#include <QSize>

class QFont;

namespace framlet {

// Windows laid out in pixels for the usual desktop text (a 9-point font at 96 dots an inch,
// 12 pixels) grow with larger text, so that nothing in them is clipped when the desktop's font
// or its font DPI is raised. They never shrink below their design.
namespace TextScale {

inline constexpr qreal designPixels = 12;

// How much larger than the design the font is drawn; at least 1.
qreal factor(const QFont& font);
QSize grown(QSize design, const QFont& font);
int grown(int design, const QFont& font);

}  // namespace TextScale
}  // namespace framlet
