#include "shelf/ThumbnailDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QToolTip>

#include "library/store/ScreenshotStore.h"
#include "shelf/SelectionModel.h"
#include "shelf/Symbols.h"

namespace framlet {

namespace {

// The secondary text colour at a given opacity.
QColor secondary(const QPalette& palette, qreal opacity) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(float(0.6 * opacity));
    return color;
}

// A rounded rectangle stroked inside its edge.
void strokeInside(QPainter& painter, const QRectF& area, const QColor& color, qreal width) {
    const qreal half = width / 2;
    painter.setPen(QPen(color, width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(area.adjusted(half, half, -half, -half),
                            ThumbnailDelegate::cornerRadius - half,
                            ThumbnailDelegate::cornerRadius - half);
}

}  // namespace

ThumbnailDelegate::ThumbnailDelegate(const SelectionModel& selection, QObject* parent)
    : QStyledItemDelegate(parent), m_selection(selection) {
}

QString ThumbnailDelegate::failedToolTip() {
    return QStringLiteral("Couldn't render a preview for this file");
}

QRect ThumbnailDelegate::thumbnailRect(const QRect& cell) {
    const int half = spacing / 2;
    QRect area = cell.adjusted(half, half, -half, -half);
    area.setHeight(thumbnailHeight);
    return area;
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), thumbnailHeight + spacing};
}

void ThumbnailDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QRectF area = thumbnailRect(option.rect);
    const QPalette& palette = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(area, cornerRadius, cornerRadius);
    painter->setClipPath(shape);
    painter->fillPath(shape, secondary(palette, 0.08));
    if (!index.data(ScreenshotStore::ThumbnailRole).value<QImage>().isNull()) {
        paintImage(*painter, area, index);
    } else if (index.data(ScreenshotStore::ThumbnailFailedRole).toBool()) {
        paintFailed(*painter, area, option);
    } else {
        paintSpinner(*painter, area, palette);
    }
    painter->setClipping(false);
    strokeInside(*painter, area, secondary(palette, 0.2), 0.5);
    if (m_selection.ids().contains(index.data(ScreenshotStore::IdRole).toUuid())) {
        strokeInside(*painter, area, palette.color(QPalette::Highlight), ringWidth);
        // A thin line of the highlight's own text colour inside the ring: the ring stays seen
        // over a screenshot of the highlight's colour, whatever the palette.
        strokeInside(*painter, area.adjusted(ringWidth, ringWidth, -ringWidth, -ringWidth),
                     palette.color(QPalette::HighlightedText), 1);
    }
    if (option.state & QStyle::State_HasFocus) {
        // Where the arrows stand, for whoever moves by keyboard.
        QPen dotted(palette.color(QPalette::WindowText), 1, Qt::DotLine);
        painter->setPen(dotted);
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(area.adjusted(-2.5, -2.5, 2.5, 2.5), cornerRadius + 2,
                                 cornerRadius + 2);
    }
    painter->restore();
}

void ThumbnailDelegate::paintImage(QPainter& painter, const QRectF& area,
                                   const QModelIndex& index) const {
    const QImage image = index.data(ScreenshotStore::ThumbnailRole).value<QImage>();
    const QSize fitted = image.size().scaled(area.size().toSize(), Qt::KeepAspectRatio);
    const qreal ratio = painter.device()->devicePixelRatioF();
    // Scaled once per size and image, not on every repaint of the grid; a thumbnail replaced
    // (new contents, or made larger for larger cells) is another image.
    const QString key = QStringLiteral("framlet-thumb:%1:%2:%3x%4")
                            .arg(index.data(ScreenshotStore::IdRole).toUuid().toString())
                            .arg(image.cacheKey())
                            .arg(fitted.width())
                            .arg(fitted.height());
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap::fromImage(
            image.scaled(fitted * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        QPixmapCache::insert(key, pixmap);
    }
    QRectF target{QPointF(), QSizeF(fitted)};
    target.moveCenter(area.center());
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
}

void ThumbnailDelegate::paintFailed(QPainter& painter, const QRectF& area,
                                    const QStyleOptionViewItem& option) const {
    painter.fillRect(area, secondary(option.palette, 0.15));
    QRect icon(0, 0, 22, 22);
    icon.moveCenter(area.center().toPoint());
    Symbols::icon(QStringLiteral("exclamationmark.triangle"), option.widget).paint(&painter, icon);
}

void ThumbnailDelegate::paintSpinner(QPainter& painter, const QRectF& area,
                                     const QPalette& palette) const {
    painter.fillRect(area, secondary(palette, 0.15));
    QRectF ring(0, 0, 16, 16);
    ring.moveCenter(area.center());
    painter.setPen(QPen(secondary(palette, 1.0), 2, Qt::SolidLine, Qt::RoundCap));
    // Qt counts arcs in sixteenths of a degree.
    painter.drawArc(ring, -(m_spinnerStep % 12) * 30 * 16, 270 * 16);
}

bool ThumbnailDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    if (index.data(ScreenshotStore::ThumbnailFailedRole).toBool() &&
        index.data(ScreenshotStore::ThumbnailRole).value<QImage>().isNull()) {
        QToolTip::showText(event->globalPos(), failedToolTip(), view);
    } else {
        QToolTip::hideText();
    }
    return true;
}

}  // namespace framlet
