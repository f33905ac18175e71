#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "CaptureFiles.h"
#include "ProgramHome.h"
#include "ScreenPixels.h"
#include "XClients.h"
#include "shelf/PanelPlacement.h"

using framlet::test::shelfVisible;

namespace {

// The real program on the private desktop of scripts/x-session, observed through its debug log
// and the X server, as a user's session would see it.
class FramletRun : public framlet::test::ProgramRun {
protected:
    void screenshot(const QString& name) const {
        ASSERT_TRUE(framlet::test::writeCapture(QDir(desktop()).filePath(name)));
    }
};

// The program's own choice of shortcut route on X11; seeds and captures reaching the lantern are
// the delegate's test.
TEST_F(FramletRun, TheShortcutRegisteredOnTheXServerTogglesTheShelf) {
    launch();
    ASSERT_TRUE(logged("hotkey: registered")) << log().constData();
    framlet::test::pressKeys(QStringLiteral("super+shift+2"));
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));
    framlet::test::pressKeys(QStringLiteral("super+shift+2"));
    EXPECT_TRUE(QTest::qWaitFor([] { return !shelfVisible(); }, 5000));
    EXPECT_EQ(app.state(), QProcess::Running);
}

// Registered a second time under a private desktop without any tray.
TEST_F(FramletRun, WithoutATrayTheShelfOpensAtLaunch) {
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_NO_TRAY")) {
        GTEST_SKIP() << "runs only on the desktop without a tray";
    }
    launch();
    ASSERT_TRUE(logged("tray: no system tray on this desktop — showing the shelf"))
        << log().constData();
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));
}

// Registered again under the xfce panel at the top and at the bottom of the screen, whose tray
// hosts both kinds of icon: the program must pick the one it can drag from, and everything a
// user does with the lantern must land beside the panel.
TEST_F(FramletRun, OnTheXfcePanelTheLanternDocksLightsUpAndTogglesTheShelfBesideIt) {
    if (qEnvironmentVariableIsEmpty("FRAMLET_TEST_XFCE_PANEL")) {
        GTEST_SKIP() << "runs only under the xfce panel";
    }
    launch();
    ASSERT_TRUE(logged("hotkey: registered")) << log().constData();
    EXPECT_TRUE(log().contains("tray: XEmbed (")) << log().constData();
    EXPECT_TRUE(log().contains("over StatusNotifierItem")) << log().constData();

    const QRect panel = framlet::test::panelArea();
    QRect icon;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            icon = framlet::test::windowGeometry(QStringLiteral("^Framlet tray icon$"));
            return icon.isValid();
        },
        10000));
    EXPECT_TRUE(panel.contains(icon))
        << "icon " << icon.x() << "," << icon.y() << " outside the panel";

    const QImage empty = framlet::test::settled(icon);
    screenshot(QStringLiteral("Screenshot 1.png"));
    ASSERT_TRUE(logged("capture fill animation finished"));
    EXPECT_GE(framlet::test::visiblyChanged(empty, framlet::test::settled(icon)), 12)
        << "the capture left the lantern in the tray as it was";

    framlet::test::clickAt(icon.center());
    ASSERT_TRUE(QTest::qWaitFor(shelfVisible, 5000));
    const QRect shelf = framlet::test::windowGeometry(QStringLiteral("^Framlet Shelf$"));
    const bool atBottom = panel.top() > 0;
    const int gap =
        atBottom ? panel.top() - (shelf.bottom() + 1) : shelf.top() - (panel.bottom() + 1);
    EXPECT_GE(gap, 0) << "the shelf covers the panel";
    EXPECT_LE(gap, framlet::PanelPlacement::workAreaMargin) << "the shelf is not against the panel";
    EXPECT_LE(shelf.left(), icon.center().x());
    EXPECT_GE(shelf.right(), icon.center().x());

    framlet::test::clickAt(icon.center());
    EXPECT_TRUE(QTest::qWaitFor([] { return !shelfVisible(); }, 5000));
    EXPECT_EQ(app.state(), QProcess::Running);
}

}  // namespace
