#include <gtest/gtest.h>

#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <chrono>

#include "LogTail.h"
#include "ManualTimers.h"
#include "app/CaptureLantern.h"
#include "app/LanternIcon.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;
using namespace std::chrono_literals;

namespace {

int alphaAt(const QImage& image, double designX, double designY) {
    // Design coordinates have y pointing up on an 18-unit grid.
    const double unit = image.width() / 18.0;
    return qAlpha(image.pixel(int(designX * unit), int((18 - designY) * unit)));
}

TEST(LanternIcon, DrawsTheOutlineAndAGlowThatGrowsWithTheFill) {
    const QImage empty = LanternIcon::statusIcon(0.0, 180, Qt::black);
    const QImage lit = LanternIcon::statusIcon(1.0, 180, Qt::black);
    const QImage faint = LanternIcon::statusIcon(0.02, 180, Qt::black);

    EXPECT_EQ(alphaAt(empty, 9, 7), 0);  // the centre of the glow
    EXPECT_EQ(alphaAt(lit, 9, 7), 255);
    EXPECT_EQ(alphaAt(lit, 9, 7 + 2.5), 255);  // radius 2.9 (scaled 1.06) around (9, 7)
    EXPECT_EQ(alphaAt(lit, 9, 7 + 3.5), 0);
    EXPECT_EQ(faint, empty);  // fill up to 0.02 draws no glow

    // The outline: the bottom edge near y 2.4 and the lid lines near the top, not the other way up.
    EXPECT_GT(alphaAt(empty, 9, 9 - (9 - 2.4) * 1.06), 100);
    EXPECT_GT(alphaAt(empty, 9, 9 + (13.2 - 9) * 1.06), 100);
    EXPECT_EQ(alphaAt(empty, 9, 17.8), 0);
    EXPECT_EQ(alphaAt(empty, 9, 0.3), 0);
    // One colour, only alpha varies.
    const QImage white = LanternIcon::statusIcon(1.0, 36, Qt::white);
    EXPECT_EQ(QColor::fromRgba(white.pixel(18, 18 + 4)).red(), 255);
}

// A symbolic icon as GTK draws it in a panel: every path, rect and circle filled with the panel's
// foreground colour, whatever its own fill; strokes keep theirs.
QImage recolouredLikeASymbolicIcon(QByteArray svg, int size) {
    QString text = QString::fromUtf8(svg);
    static const QRegularExpression shape(QStringLiteral("<(path|rect|circle)\\b([^>]*)>"));
    static const QRegularExpression fill(QStringLiteral("\\sfill=\"[^\"]*\""));
    QString out;
    qsizetype last = 0;
    for (auto it = shape.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        QString attributes = match.captured(2);
        attributes.remove(fill);
        out += text.mid(last, match.capturedStart() - last) + QLatin1Char('<') + match.captured(1) +
               QStringLiteral(" fill=\"#ff0000\"") + attributes + QLatin1Char('>');
        last = match.capturedEnd();
    }
    out += text.mid(last);
    QSvgRenderer renderer(out.toUtf8());
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

TEST(LanternIcon, TheThemeIconsSurviveBeingRecolouredByFillingTheirShapes) {
    const QImage empty = recolouredLikeASymbolicIcon(LanternIcon::svg(0.0, Qt::darkGray), 180);
    const QImage lit = recolouredLikeASymbolicIcon(LanternIcon::svg(1.0, Qt::darkGray), 180);
    // Still hollow when empty, the glow inside when lit, the walls drawn either way.
    EXPECT_EQ(alphaAt(empty, 9, 7), 0);
    EXPECT_EQ(alphaAt(empty, 9, 10.5), 0);
    EXPECT_EQ(alphaAt(lit, 9, 7), 255);
    EXPECT_EQ(qRed(lit.pixel(90, 90 + 4)), 255);  // in the panel's colour, not the icon's own
    EXPECT_GT(alphaAt(empty, 9, 9 - (9 - 2.4) * 1.06), 100);
    EXPECT_GT(alphaAt(lit, 9, 9 - (9 - 2.4) * 1.06), 100);
    EXPECT_NE(empty, lit);
}

class CaptureLanternTest : public ::testing::Test {
protected:
    CaptureLanternTest()
        : defaults(dir.path() + QStringLiteral("/defaults.json")), settings(defaults) {}
    // What the delegate does for a live capture.
    void capture() {
        lantern.setHasUnseen(true);
        lantern.animateCaptureFill();
        lantern.scheduleUnseenReset();
    }
    QTemporaryDir dir;
    UserDefaults defaults;
    Settings settings;
    test::ManualTimers timers;
    CaptureLantern lantern{settings, timers};
};

TEST_F(CaptureLanternTest, ALiveCaptureAnimatesSixteenFramesThenStaysLitAndASecondRestartsIt) {
    QSignalSpy fills(&lantern, &CaptureLantern::fillChanged);
    lantern.setHasUnseen(true);
    lantern.animateCaptureFill();
    EXPECT_TRUE(lantern.isAnimating());

    timers.advance(CaptureLantern::frameInterval * 15);
    EXPECT_TRUE(lantern.isAnimating());
    timers.advance(CaptureLantern::frameInterval);
    EXPECT_FALSE(lantern.isAnimating());

    // The lit resting icon, sixteen frames growing from about a fifth to full, then the lit icon
    // once more.
    ASSERT_EQ(fills.count(), 18);
    EXPECT_NEAR(fills.at(1).at(0).toDouble(), 0.176, 0.001);
    for (int frame = 2; frame <= 16; ++frame) {
        EXPECT_GT(fills.at(frame).at(0).toDouble(), fills.at(frame - 1).at(0).toDouble());
    }
    EXPECT_DOUBLE_EQ(fills.at(16).at(0).toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(lantern.fill(), 1.0);

    // Another capture in the middle of the animation starts it again from the first frame.
    lantern.animateCaptureFill();
    timers.advance(CaptureLantern::frameInterval * 10);
    fills.clear();
    lantern.animateCaptureFill();
    timers.advance(CaptureLantern::frameInterval);
    ASSERT_EQ(fills.count(), 1);
    EXPECT_NEAR(fills.at(0).at(0).toDouble(), 0.176, 0.001);
    timers.advance(CaptureLantern::frameInterval * 14);
    EXPECT_TRUE(lantern.isAnimating());
}

TEST_F(CaptureLanternTest, WithoutMotionACaptureFillsAtOnceAndLogsNoFrames) {
    lantern.setReducedMotion(true);
    QSignalSpy fills(&lantern, &CaptureLantern::fillChanged);
    const test::LogTail log;
    capture();
    EXPECT_FALSE(lantern.isAnimating());
    timers.advance(CaptureLantern::frameInterval * 16);
    for (const QList<QVariant>& fill : fills) {
        EXPECT_DOUBLE_EQ(fill.at(0).toDouble(), 1.0);  // no frame in between
    }
    EXPECT_TRUE(log.text().contains(u"capture fill shown at once"));
    EXPECT_FALSE(log.text().contains(u"capture fill animation"));

    // The desktop allows motion again: the next capture animates.
    lantern.setReducedMotion(false);
    lantern.animateCaptureFill();
    EXPECT_TRUE(lantern.isAnimating());
}

TEST_F(CaptureLanternTest, OpeningTheShelfCutsTheAnimationShortAndEmptiesTheLantern) {
    capture();
    timers.advance(CaptureLantern::frameInterval * 5);
    lantern.setHasUnseen(false);
    EXPECT_FALSE(lantern.isAnimating());
    EXPECT_FALSE(lantern.isResetScheduled());
    EXPECT_DOUBLE_EQ(lantern.fill(), 0.0);
    timers.advance(10s);
    EXPECT_DOUBLE_EQ(lantern.fill(), 0.0);
}

TEST_F(CaptureLanternTest, TheUnseenResetRestartsWithEveryCapture) {
    settings.setUnseenResetSeconds(5);
    capture();
    timers.advance(4s);
    capture();
    timers.advance(4900ms);  // 8.9 s after the first capture
    EXPECT_TRUE(lantern.hasUnseen());
    timers.advance(100ms);  // 9 s
    EXPECT_FALSE(lantern.hasUnseen());
    EXPECT_DOUBLE_EQ(lantern.fill(), 0.0);
}

TEST_F(CaptureLanternTest, ZeroSecondsKeepsItLitUntilTheShelfOpens) {
    settings.setUnseenResetSeconds(0);
    capture();
    timers.advance(24h);
    EXPECT_TRUE(lantern.hasUnseen());
    EXPECT_DOUBLE_EQ(lantern.fill(), 1.0);
}

}  // namespace
