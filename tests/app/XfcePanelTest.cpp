#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "DesktopInput.h"
#include "ScreenPixels.h"
#include "app/StatusItem.h"
#include "library/decoding/DecodeBudget.h"
#include "platform/widgets/SystemTray.h"
#include "shelf/PanelPlacement.h"

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
    static QRect panel() { return test::panelArea(); }
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
    const QImage bare = test::grab(panel());
    DecodeBudget budget(DecodeBudget::processCapacity);
    StatusItem item(SystemTray::Kind::statusNotifier, budget);
    int clicks = 0;
    QObject::connect(&item, &StatusItem::clicked, [&] { ++clicks; });

    ASSERT_TRUE(QTest::qWaitFor([&] { return test::grab(panel()) != bare; }, 10000))
        << "the lantern never appeared in the panel";
    const QRect icon = changed(bare, test::settled(panel()));
    EXPECT_LE(icon.width(), 32);
    EXPECT_LE(icon.height(), 32);

    // A capture lights the lantern: the panel's own drawing of it must change.
    const QImage empty = test::settled(icon);
    item.setFill(1.0);
    QTest::qWait(250);
    // The glow is a disc about 6 pixels across.
    EXPECT_GE(test::visiblyChanged(empty, test::settled(icon)), 12)
        << "lighting the lantern changed next to nothing in the tray";
    item.setFill(0.0);
    QTest::qWait(250);
    EXPECT_EQ(test::settled(icon), empty);

    // A click on it anchors the shelf there: beyond the icon, against the panel.
    test::click(icon.center());
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
