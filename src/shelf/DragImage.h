#pragma once

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPoint>

namespace framlet {

// The picture under the pointer while screenshots are dragged: one 96 px frame per file, each
// image scaled to fit its frame, the frames fanned out diagonally by 8 px per file.
class DragImage {
public:
    static constexpr int frameSize = 96;
    static constexpr int fanStep = 8;
    // Frames beyond this many add nothing one could see, only a larger pixmap.
    static constexpr int maxFrames = 16;

    // A null image leaves its frame without a picture.
    explicit DragImage(const QList<QImage>& images, qreal devicePixelRatio = 1.0);

    QPixmap pixmap() const { return m_pixmap; }
    // The centre of the first frame, where the pointer holds the drag.
    QPoint hotSpot() const { return m_hotSpot; }
    // Where the k-th frame lies in the pixmap, in device-independent pixels: right and up by
    // 8 px per file.
    static QRect frameRect(int k, int frames);

private:
    QPixmap m_pixmap;
    QPoint m_hotSpot;
};

}  // namespace framlet
