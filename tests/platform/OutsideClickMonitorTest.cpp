#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "XClients.h"
#include "platform/OutsideClickMonitor.h"

namespace framlet {
namespace {

// The XInput 2 path is covered through the panel (PanelControllerTest); here the choice of
// method and the fallback for desktops without XInput 2.
TEST(OutsideClickMonitor, UsesRawPressesOnX11AndStopsCleanly) {
    OutsideClickMonitor monitor;
    monitor.start();
    EXPECT_TRUE(monitor.isActive());
    EXPECT_EQ(monitor.method(), OutsideClickMonitor::Method::rawButtonPresses);
    monitor.stop();
    EXPECT_FALSE(monitor.isActive());
    monitor.stop();  // twice is harmless

    // Through XWayland the raw presses would miss every click in a Wayland window.
    qputenv("XDG_SESSION_TYPE", "wayland");
    monitor.start();
    qunsetenv("XDG_SESSION_TYPE");
    EXPECT_EQ(monitor.method(), OutsideClickMonitor::Method::activationLoss);
}

TEST(OutsideClickMonitor, WithoutRawPressesLosingActivationCountsAsAClickOutside) {
    QWidget window;
    window.setGeometry(40, 60, 200, 150);
    window.show();
    // On a fresh machine this can be the first window the new window manager maps: ask for the
    // focus rather than count on the manager's focus-new-windows rule, and allow for a slow start.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 15000));

    OutsideClickMonitor monitor(OutsideClickMonitor::Method::activationLoss);
    QSignalSpy clicked(&monitor, &OutsideClickMonitor::clickedOutside);
    monitor.start();
    EXPECT_EQ(monitor.method(), OutsideClickMonitor::Method::activationLoss);

    test::OtherApplication other(QRect(400, 300, 200, 150));
    const WId otherWindow = other.waitForWindow();
    ASSERT_NE(otherWindow, 0u);
    ASSERT_TRUE(test::xdotool({"windowactivate", "--sync", QString::number(otherWindow)}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicked.count() == 1; }, 5000));

    // Stopped, it stays silent through the next activation change.
    monitor.stop();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(test::xdotool({"windowactivate", "--sync", QString::number(otherWindow)}));
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return QGuiApplication::applicationState() != Qt::ApplicationActive; }, 5000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(clicked.count(), 1);
}

}  // namespace
}  // namespace framlet
