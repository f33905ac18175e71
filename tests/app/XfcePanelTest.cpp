#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include "DesktopInput.h"
#include "PanelPlacement.h"
#include "StatusItem.h"
#include "SystemTray.h"

using namespace framlet;

namespace {

// Registered a second time under scripts/x-session --xfce-panel, whose tray hosts
// StatusNotifierItems itself and draws them with GTK: what a user of that panel sees.
class XfcePanelStatusNotifier : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("FRAMLET_TEST_XFCE_PANEL")) {
            GTEST_SKIP() << "runs only under the xfce panel";
        }
        // The panel looks theme icons up in the session's data folder, so install them there.
        qputenv(
            "XDG_DATA_HOME",
            QDir(qEnvironmentVariable("FRAMLET_SESSION_HOME")).filePath(".local/share").toUtf8());
    }

    static QScreen* screen() { return QGuiApplication::primaryScreen(); }
    // The panel is the part of the screen outside the work area.
    static QRect panel() {
        const QRect all = screen()->geometry();
        const QRect work = screen()->availableGeometry();
        return work.top() > all.top() ? QRect(all.left(), all.top(), all.width(), work.top())
                                      : QRect(all.left(), work.bottom() + 1, all.width(),
                                              all.bottom() - work.bottom());
    }
    static QImage grab(const QRect& area) {
        return screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    }
    // The area once the panel has stopped redrawing it: a changed icon passes through
    // intermediate frames.
    static QImage settled(const QRect& area) {
        QImage last = grab(area);
        for (int i = 0; i < 20; ++i) {
            QTest::qWait(250);
            QImage now = grab(area);
            if (now == last) {
                break;
            }
            last = std::move(now);
        }
        return last;
    }
    // Pixels that differ enough to be seen: a redraw of the same icon can move a colour by one
    // level at an edge.
    static int visiblyChanged(const QImage& before, const QImage& after) {
        int count = 0;
        for (int y = 0; y < before.height(); ++y) {
            for (int x = 0; x < before.width(); ++x) {
                const QColor a = before.pixelColor(x, y);
                const QColor b = after.pixelColor(x, y);
                count += std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                                   std::abs(a.blue() - b.blue())}) > 40;
            }
        }
        return count;
    }
    // The global bounding box of the pixels that differ between two grabs of the panel.
    static QRect changed(const QImage& before, const QImage& after) {
        QRect box;
        for (int y = 0; y < before.height(); ++y) {
            for (int x = 0; x < before.width(); ++x) {
                if (before.pixel(x, y) != after.pixel(x, y)) {
                    box |= QRect(x, y, 1, 1);
                }
            }
        }
        return box.translated(panel().topLeft());
    }
};

TEST_F(XfcePanelStatusNotifier, TheLanternShowsLightsUpAndAClickOpensTheShelfAgainstThePanel) {
    ASSERT_FALSE(panel().isEmpty()) << "the panel reserves no edge of the screen";
    const QImage bare = grab(panel());
    StatusItem item(SystemTray::Kind::statusNotifier);
    int clicks = 0;
    item.onClick = [&] { ++clicks; };

    QRect icon;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !(icon = changed(bare, grab(panel()))).isEmpty(); }, 10000))
        << "the lantern never appeared in the panel";
    QTest::qWait(500);  // let the panel finish laying it out
    icon = changed(bare, grab(panel()));
    EXPECT_LE(icon.width(), 32);
    EXPECT_LE(icon.height(), 32);

    // A capture lights the lantern: the panel's own drawing of it must change.
    const QImage empty = settled(icon);
    item.setFill(1.0);
    QTest::qWait(250);
    // The glow is a disc about 6 pixels across.
    EXPECT_GE(visiblyChanged(empty, settled(icon)), 12)
        << "lighting the lantern changed next to nothing in the tray";
    item.setFill(0.0);
    QTest::qWait(250);
    EXPECT_EQ(settled(icon), empty);

    // A click on it anchors the shelf there: beyond the icon, against the panel.
    QProcess::execute(
        QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(icon.center().x()),
         QString::number(icon.center().y()), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, 5000));
    ASSERT_TRUE(item.iconGeometry().has_value());
    EXPECT_TRUE(icon.contains(item.iconGeometry()->center()));
    const QRect work = screen()->availableGeometry();
    const QRect shelf =
        PanelPlacement::frame(PanelPlacement::defaultSize, work, item.iconGeometry());
    const bool atBottom = panel().top() > work.top();
    const int gap =
        atBottom ? panel().top() - (shelf.bottom() + 1) : shelf.top() - panel().bottom() - 1;
    EXPECT_EQ(gap, PanelPlacement::workAreaMargin);
    EXPECT_LE(shelf.left(), icon.center().x());
    EXPECT_GE(shelf.right(), icon.center().x());
}

}  // namespace
