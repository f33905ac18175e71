#include "shelf/PreviewImageView.h"

#include <QMovie>
#include <QPainter>

namespace framlet {

PreviewImageView::PreviewImageView(QWidget* parent) : QWidget(parent) {
}

void PreviewImageView::setImage(const QImage& image) {
    dropMovie();
    m_image = image;
    update();
}

void PreviewImageView::setMovie(QMovie* movie) {
    dropMovie();
    m_image = {};
    m_movie = movie;
    movie->setParent(this);
    connect(movie, &QMovie::frameChanged, this, qOverload<>(&QWidget::update));
    movie->start();
}

void PreviewImageView::clear() {
    setImage({});
}

QImage PreviewImageView::currentImage() const {
    return m_movie ? m_movie->currentImage() : m_image;
}

QRect PreviewImageView::imageRect() const {
    const QImage image = currentImage();
    if (image.isNull()) {
        return {};
    }
    QSize size = image.size();
    if (size.width() > width() || size.height() > height()) {
        size.scale(this->size(), Qt::KeepAspectRatio);
    }
    QRect rect({}, size);
    rect.moveCenter(this->rect().center());
    return rect;
}

void PreviewImageView::paintEvent(QPaintEvent*) {
    const QImage image = currentImage();
    if (image.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), image);
}

void PreviewImageView::dropMovie() {
    if (m_movie) {
        m_movie->stop();
        m_movie->deleteLater();
        m_movie = nullptr;
    }
}

}  // namespace framlet
