#include "app/StatusItemDragView.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "app/LanternIcon.h"
#include "platform/FileDrag.h"

namespace framlet {

StatusItemDragView::StatusItemDragView(DecodeBudget& budget, FileURLProvider fileURLProvider,
                                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint)
    , m_fileURLProvider(std::move(fileURLProvider))
    , m_decoder(budget) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumSize(16, 16);
    resize(sizeHint());
    setToolTip(QStringLiteral("Framlet"));
    setWindowTitle(QStringLiteral("Framlet tray icon"));
}

void StatusItemDragView::setFill(double fill) {
    m_fill = fill;
    update();
}

void StatusItemDragView::setColor(const QColor& color) {
    m_color = color;
    update();
}

void StatusItemDragView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const int side = std::min(width(), height());
    const qreal ratio = devicePixelRatioF();
    QImage icon = LanternIcon::statusIcon(m_fill, qRound(side * ratio), m_color);
    icon.setDevicePixelRatio(ratio);
    painter.drawImage(QPoint((width() - side) / 2, (height() - side) / 2), icon);
    if (!m_onScreen) {
        m_onScreen = true;
        Q_EMIT cameOnScreen();
    }
}

void StatusItemDragView::mousePressEvent(QMouseEvent* event) {
    m_mouseDownPosition = event->position().toPoint();
    event->accept();
}

void StatusItemDragView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_mouseDownPosition) {
        return;
    }
    const QPoint moved = event->position().toPoint() - *m_mouseDownPosition;
    if (QPoint::dotProduct(moved, moved) <= dragThreshold * dragThreshold) {
        return;
    }
    m_mouseDownPosition.reset();  // from here on the gesture is a drag, never a click
    startDrag();
}

void StatusItemDragView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!m_mouseDownPosition) {
        return;
    }
    m_mouseDownPosition.reset();
    Q_EMIT clicked();
}

void StatusItemDragView::startDrag() {
    const std::optional<QUrl> url = m_fileURLProvider ? m_fileURLProvider() : std::nullopt;
    if (!url) {
        return;
    }
    auto* mime = new QMimeData;
    mime->setUrls({*url});
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QImage image = m_decoder.decodeThumbnail(url->toLocalFile(), dragImageSize).image;
    if (!image.isNull()) {
        drag->setPixmap(QPixmap::fromImage(image));
        drag->setHotSpot(QPoint(image.width() / 2, image.height() / 2));
    }
    // The file stays where it is; receivers get a copy.
    execFileDrag(*drag, Qt::CopyAction, Qt::IgnoreAction);
}

}  // namespace framlet
