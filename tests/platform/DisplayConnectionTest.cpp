#include <gtest/gtest.h>

#include "platform/DisplayConnection.h"

namespace framlet {
namespace {

using DisplayConnection::choosePlatform;
using DisplayConnection::Environment;

TEST(DisplayConnection, WaylandSessionsGoThroughXWaylandWhenItAnswers) {
    int asked = 0;
    const auto answers = [&] { return ++asked, true; };
    const auto silent = [&] { return ++asked, false; };
    // A Wayland session with XWayland: X11, where windows may place and hide themselves.
    EXPECT_EQ(choosePlatform({{}, true, true}, answers), "xcb");
    // An XWayland that does not answer, or none: Wayland itself rather than a failed start.
    EXPECT_EQ(choosePlatform({{}, true, true}, silent), "wayland");
    EXPECT_EQ(choosePlatform({{}, true, false}, answers), "wayland");
    EXPECT_EQ(asked, 2);

    // The user's own choice stands, and an X11 session is left to Qt.
    asked = 0;
    EXPECT_EQ(choosePlatform({"wayland", true, true}, answers), QString());
    EXPECT_EQ(choosePlatform({"offscreen", false, false}, answers), QString());
    EXPECT_EQ(choosePlatform({{}, false, true}, answers), QString());
    EXPECT_EQ(asked, 0);
}

// The choice is the program's own: what it starts (a file opened, a relaunch) chooses afresh.
TEST(DisplayConnection, TheChoiceIsTakenBackOnceMade) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qputenv("XDG_SESSION_TYPE", "wayland");
    EXPECT_EQ(DisplayConnection::applyPlatformChoice(), "wayland");
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "wayland");
    DisplayConnection::forgetPlatformChoice();
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));

    // A platform the user chose is left alone.
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    EXPECT_EQ(DisplayConnection::applyPlatformChoice(), QString());
    DisplayConnection::forgetPlatformChoice();
    EXPECT_TRUE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
    qunsetenv("XDG_SESSION_TYPE");
}

}  // namespace
}  // namespace framlet
