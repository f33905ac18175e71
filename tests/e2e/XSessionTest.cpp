#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QScreen>

namespace {

// These run under scripts/x-session: a private Xvfb with openbox, trayer and a session bus. The
// other tests drive that display with real input; this one pins that it is not the user's own.
TEST(XSession, TheTestRunsOnAPrivateDisplayAndHome) {
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    EXPECT_TRUE(QDir::homePath().contains(QStringLiteral("framlet-")));
    EXPECT_FALSE(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"));
    EXPECT_TRUE(QApplication::primaryScreen()->geometry().isValid());
}

}  // namespace
