#include <gtest/gtest.h>

#include <QImage>
#include <QToolButton>

#include "shelf/Symbols.h"

using namespace framlet;

namespace {

// The colours of a symbol's visible pixels, with their alpha dropped.
QSet<QRgb> inkColours(const QIcon& icon) {
    const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255) {
                colours.insert(image.pixel(x, y) | 0xff000000u);
            }
        }
    }
    return colours;
}

TEST(Symbols, WithoutADesktopThemeAdwaitasSymbolsFollowTheOwnersTextColour) {
    ASSERT_FALSE(Symbols::desktopThemeInUse()) << QIcon::themeName().toStdString();
    QToolButton owner;
    QPalette palette = owner.palette();
    palette.setColor(QPalette::WindowText, QColor(10, 20, 30));
    owner.setPalette(palette);

    const QIcon gear = Symbols::icon(QStringLiteral("gearshape"), &owner);
    EXPECT_EQ(inkColours(gear), QSet<QRgb>{qRgb(10, 20, 30)});

    // A theme change repaints in the new colour: the icon asks its owner at each painting.
    palette.setColor(QPalette::WindowText, QColor(235, 235, 235));
    owner.setPalette(palette);
    EXPECT_EQ(inkColours(gear), QSet<QRgb>{qRgb(235, 235, 235)});

    EXPECT_TRUE(Symbols::icon(QStringLiteral("no.such.symbol")).isNull());
}

}  // namespace
