#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QUuid>

#include "library/store/ScreenshotStore.h"
#include "shelf/DragImage.h"
#include "shelf/SelectionModel.h"
#include "shelf/ThumbnailDelegate.h"
#include "shelf/ThumbnailInteraction.h"

namespace framlet {
namespace {

TEST(DragStart, OnlyAMoveBeyondThreePixelsStartsADrag) {
    const QPointF press(50, 50);
    EXPECT_FALSE(ThumbnailInteraction::startsDrag(press, press + QPointF(3, 0)));
    EXPECT_FALSE(ThumbnailInteraction::startsDrag(press, press + QPointF(0, -3)));
    EXPECT_FALSE(ThumbnailInteraction::startsDrag(press, press + QPointF(2, 2)));
    EXPECT_TRUE(ThumbnailInteraction::startsDrag(press, press + QPointF(3.1, 0)));
    EXPECT_TRUE(ThumbnailInteraction::startsDrag(press, press + QPointF(-2.2, 2.2)));
}

QImage filled(QSize size, Qt::GlobalColor color) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

TEST(DragImage, FansTheFilesOutByEightPixelsEach) {
    const DragImage image({filled({400, 200}, Qt::red), QImage(), filled({50, 100}, Qt::blue)});
    EXPECT_EQ(image.pixmap().size(), QSize(96 + 16, 96 + 16));
    // The first frame lies lowest and leftmost, the pointer at its centre; each next one is
    // 8 px right and up.
    EXPECT_EQ(DragImage::frameRect(0, 3), QRect(0, 16, 96, 96));
    EXPECT_EQ(DragImage::frameRect(2, 3), QRect(16, 0, 96, 96));
    EXPECT_EQ(image.hotSpot(), QRect(0, 16, 96, 96).center());

    const QImage pixels = image.pixmap().toImage();
    // The wide image fits its frame's width, centred: red at the frame's left edge, clear
    // above and below it.
    EXPECT_EQ(pixels.pixelColor(1, 16 + 48), QColor(Qt::red));
    EXPECT_EQ(pixels.pixelColor(1, 16 + 5).alpha(), 0);
    // The tall one is drawn last, on top, in the middle of the third frame.
    EXPECT_EQ(pixels.pixelColor(16 + 48, 48), QColor(Qt::blue));
}

TEST(DragImage, ManyFilesStayASmallPicture) {
    const DragImage image(QList<QImage>(200, filled({10, 10}, Qt::green)));
    const int side = 96 + 8 * (DragImage::maxFrames - 1);
    EXPECT_EQ(image.pixmap().size(), QSize(side, side));
}

// One cell of the grid, drawn by the delegate.
class ThumbnailCell : public ::testing::Test {
protected:
    ThumbnailCell() {
        model.setData(index, id, ScreenshotStore::IdRole);
        option.rect = QRect(0, 0, 128, 98);
    }
    QImage paintedCell() const {
        QImage cell(option.rect.size(), QImage::Format_ARGB32);
        cell.fill(Qt::black);
        QPainter painter(&cell);
        delegate.paint(&painter, option, index);
        return cell;
    }

    SelectionModel selection;
    const ThumbnailDelegate delegate{selection};
    QStandardItemModel model{1, 1};
    const QModelIndex index = model.index(0, 0);
    const QUuid id = QUuid::createUuid();
    QStyleOptionViewItem option;
};

TEST_F(ThumbnailCell, AThumbnailReplacedAtTheSameSizeIsDrawnAnew) {
    const auto centre = [&](Qt::GlobalColor color) {
        model.setData(index, filled({160, 90}, color), ScreenshotStore::ThumbnailRole);
        return paintedCell().pixelColor(option.rect.center());
    };
    EXPECT_EQ(centre(Qt::red), QColor(Qt::red));
    EXPECT_EQ(centre(Qt::blue), QColor(Qt::blue));  // new contents, or a sharper copy
}

TEST_F(ThumbnailCell, TheSelectionShowsInAHighContrastPaletteOverAScreenshotOfItsOwnColour) {
    option.palette.setColor(QPalette::Highlight, Qt::yellow);
    option.palette.setColor(QPalette::HighlightedText, Qt::black);
    option.palette.setColor(QPalette::WindowText, Qt::white);
    model.setData(index, filled({160, 98}, Qt::yellow), ScreenshotStore::ThumbnailRole);
    const QImage plain = paintedCell();
    selection.setIds({id});
    const QImage selected = paintedCell();
    // Somewhere well inside the thumbnail's edge the selected cell is far from the plain one.
    int strongest = 0;
    for (int x = 4; x < 40; ++x) {
        const QColor a = plain.pixelColor(x, 49);
        const QColor b = selected.pixelColor(x, 49);
        strongest = std::max(strongest, std::abs(a.lightness() - b.lightness()));
    }
    EXPECT_GT(strongest, 100);
}

}  // namespace
}  // namespace framlet
