#include "shelf/PanelPlacement.h"

#include <algorithm>

namespace framlet::PanelPlacement {
namespace {

// Into [low, high - length] with the margin, the far bound winning when the length does not fit.
int clampFromLow(int position, int length, int low, int high) {
    position = std::max(position, low + workAreaMargin);
    return std::min(position, high - length - workAreaMargin);
}

// The same with the near bound winning, so the start of the panel stays in view.
int clampFromHigh(int position, int length, int low, int high) {
    position = std::min(position, high - length - workAreaMargin);
    return std::max(position, low + workAreaMargin);
}

QPoint preferredOrigin(QSize size, const QRect& workArea, const std::optional<QRect>& icon) {
    if (!icon) {
        return {workArea.x() + workArea.width() - size.width() - workAreaMargin,
                workArea.y() + workAreaMargin};
    }
    const int x = icon->x() + icon->width() / 2 - size.width() / 2;
    const bool trayAtBottom = icon->center().y() > workArea.center().y();
    const int y = trayAtBottom ? icon->y() - gapBelowIcon - size.height()
                               : icon->y() + icon->height() + gapBelowIcon;
    return {x, y};
}

}  // namespace

QSize panelSize(QSize preferred) {
    return {preferred.width() > 0 ? preferred.width() : defaultSize.width(),
            preferred.height() > 0 ? preferred.height() : defaultSize.height()};
}

QRect frame(QSize size, const QRect& workArea, const std::optional<QRect>& icon) {
    const QPoint origin = preferredOrigin(size, workArea, icon);
    const int left = workArea.x();
    const int top = workArea.y();
    const int x = clampFromLow(origin.x(), size.width(), left, left + workArea.width());
    const int y = clampFromHigh(origin.y(), size.height(), top, top + workArea.height());
    return {QPoint(x, y), size};
}

QRect panelCorner(const QRect& screen, const QRect& workArea) {
    const int top = workArea.top() - screen.top();
    const int bottom = screen.bottom() - workArea.bottom();
    const int left = workArea.left() - screen.left();
    const int right = screen.right() - workArea.right();
    const QSize point(1, 1);
    if (bottom > std::max({top, left, right})) {
        return {QPoint(workArea.right(), workArea.bottom() + 1), point};
    }
    if (left > std::max(top, right)) {
        return {QPoint(workArea.left() - 1, workArea.top()), point};
    }
    if (right > top) {
        return {QPoint(workArea.right() + 1, workArea.top()), point};
    }
    return {QPoint(workArea.right(), workArea.top() - 1), point};
}

}  // namespace framlet::PanelPlacement
