#include <gtest/gtest.h>

#include <QApplication>
#include <optional>

#include "TemporaryHome.h"

// Every test process runs in its own temporary home, except a child started by runSelf, which
// keeps the home its parent chose for it. Without a display of its own (the private X server of
// scripts/x-session) widgets render offscreen.
int main(int argc, char** argv) {
    std::optional<framlet::test::TemporaryHome> home;
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_CHILD")) {
        home.emplace();
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
