#include "shelf/DragImage.h"

#include <QPainter>
#include <algorithm>

namespace framlet {

namespace {

void drawFrame(QPainter& painter, const QRect& frame, const QImage& image) {
    if (image.isNull()) {
        return;
    }
    const QSize fitted = image.size().scaled(frame.size(), Qt::KeepAspectRatio);
    QRect target{QPoint(), fitted};
    target.moveCenter(frame.center());
    painter.drawImage(target, image);
}

}  // namespace

QRect DragImage::frameRect(int k, int frames) {
    return {fanStep * k, fanStep * (frames - 1 - k), frameSize, frameSize};
}

DragImage::DragImage(const QList<QImage>& images, qreal devicePixelRatio) {
    const int frames = std::clamp(int(images.size()), 1, int(maxFrames));
    const int side = frameSize + fanStep * (frames - 1);
    m_pixmap = QPixmap(QSize(side, side) * devicePixelRatio);
    m_pixmap.setDevicePixelRatio(devicePixelRatio);
    m_pixmap.fill(Qt::transparent);
    QPainter painter(&m_pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int k = 0; k < std::min(frames, int(images.size())); ++k) {
        drawFrame(painter, frameRect(k, frames), images.at(k));
    }
    m_hotSpot = frameRect(0, frames).center();
}

}  // namespace framlet
