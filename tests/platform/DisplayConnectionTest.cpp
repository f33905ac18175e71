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
    EXPECT_EQ(choosePlatform({{}, true, true}, answers), QStringLiteral("xcb"));
    // An XWayland that does not answer, or none: Wayland itself rather than a failed start.
    EXPECT_EQ(choosePlatform({{}, true, true}, silent), QStringLiteral("wayland"));
    EXPECT_EQ(choosePlatform({{}, true, false}, answers), QStringLiteral("wayland"));
    EXPECT_EQ(asked, 2);

    // The user's own choice stands, and an X11 session is left to Qt.
    asked = 0;
    EXPECT_EQ(choosePlatform({QStringLiteral("wayland"), true, true}, answers), QString());
    EXPECT_EQ(choosePlatform({QStringLiteral("offscreen"), false, false}, answers), QString());
    EXPECT_EQ(choosePlatform({{}, false, true}, answers), QString());
    EXPECT_EQ(asked, 0);
}

}  // namespace
}  // namespace framlet
