#include <gtest/gtest.h>

#include <QApplication>
#include <optional>
#include <string>

#include "TemporaryHome.h"

// Every test process runs in its own temporary home, except a child started by runSelf, which
// keeps the home its parent chose for it. The tests that only serve as such children (suites
// named "...Child", tests named "Child...") run only there. Without a display of its own (the
// private X server of scripts/x-session) widgets render offscreen.
int main(int argc, char** argv) {
    std::optional<framlet::test::TemporaryHome> home;
    const bool child = qEnvironmentVariableIsSet("FRAMLET_TEST_CHILD");
    if (!child) {
        home.emplace();
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (!child) {
        std::string& filter = ::testing::GTEST_FLAG(filter);
        filter += filter.find('-') == std::string::npos ? "-" : ":";
        filter += "*Child.*:*.Child*";
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
