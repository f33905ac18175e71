#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "ChildProcess.h"

namespace {

// These run under scripts/x-session: a private Xvfb with openbox, trayer and a session bus.
TEST(XSession, TheTestRunsOnAPrivateDisplayAndHome) {
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    EXPECT_TRUE(QDir::homePath().contains(QStringLiteral("framlet-")));
    EXPECT_FALSE(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"));
    EXPECT_TRUE(QApplication::primaryScreen()->geometry().isValid());
}

TEST(XSession, ARealWindowIsMappedAndReceivesClicks) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("framlet-harness-probe"));
    window.resize(200, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Another X client sees the window by its title...
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"),
                                             QStringLiteral("framlet-harness-probe")});
    ASSERT_TRUE(search.waitForFinished());
    EXPECT_EQ(search.readAllStandardOutput().trimmed().toULongLong(), window.winId());

    // ...and a click it sends arrives as a real mouse press.
    struct Recorder : QObject {
        int presses = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            presses += event->type() == QEvent::MouseButtonPress;
            return false;
        }
    } recorder;
    window.installEventFilter(&recorder);
    const QPoint centre = window.mapToGlobal(window.rect().center());
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QString::number(centre.x()),
                       QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.presses == 1; }, 5000));
}

}  // namespace
