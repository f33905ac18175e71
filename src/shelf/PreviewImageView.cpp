#include "shelf/PreviewImageView.h"

#include <QMovie>
#include <QPainter>

namespace framlet {

namespace {

constexpr int kSpinnerStepDegrees = 30;
constexpr int kSpinnerDiameter = 32;

}  // namespace

PreviewImageView::PreviewImageView(QWidget* parent) : QWidget(parent) {
    m_spinner.setInterval(80);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + kSpinnerStepDegrees) % 360;
        update();
    });
}

void PreviewImageView::showLoading() {
    dropMovie();
    m_image = {};
    m_spinner.start();
    update();
}

void PreviewImageView::setImage(const QImage& image) {
    m_spinner.stop();
    dropMovie();
    m_image = image;
    update();
}

void PreviewImageView::setMovie(QMovie* movie) {
    m_spinner.stop();
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
        if (isLoading()) {
            QPainter painter(this);
            paintSpinner(painter);
        }
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), image);
}

void PreviewImageView::paintSpinner(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::WindowText), 3, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    QRect circle(0, 0, kSpinnerDiameter, kSpinnerDiameter);
    circle.moveCenter(rect().center());
    // Qt's angles are in sixteenths of a degree, counter-clockwise.
    painter.drawArc(circle, -m_spinnerAngle * 16, 270 * 16);
}

void PreviewImageView::dropMovie() {
    if (m_movie) {
        m_movie->stop();
        m_movie->deleteLater();
        m_movie = nullptr;
    }
}

}  // namespace framlet
