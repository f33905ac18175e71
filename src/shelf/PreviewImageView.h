#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QPainter;

class QMovie;

namespace framlet {

// Shows one image, or the running frames of an animation, centred and scaled down to fit with its
// proportions kept; never enlarged.
class PreviewImageView : public QWidget {
    Q_OBJECT

public:
    explicit PreviewImageView(QWidget* parent = nullptr);

    // Replaces what is shown; a null image shows nothing.
    void setImage(const QImage& image);
    // Shows the movie's frames while it runs; the view takes ownership and starts it.
    void setMovie(QMovie* movie);
    void clear();
    // Shows that the image is on its way (a turning arc) until one of the above replaces it.
    void showLoading();
    bool isLoading() const { return m_spinner.isActive(); }

    // The frame being shown (a null image when there is none).
    QImage currentImage() const;
    // Where the image is drawn, in the view's coordinates.
    QRect imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void dropMovie();

    void paintSpinner(QPainter& painter);

    QImage m_image;
    QPointer<QMovie> m_movie;
    QTimer m_spinner;
    int m_spinnerAngle = 0;
};

}  // namespace framlet
