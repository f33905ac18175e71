#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "FileBytes.h"
#include "WatcherTestSupport.h"
#include "library/watcher/ToolSettingsMonitor.h"
#include "platform/TimerSource.h"

using namespace framlet;

namespace {

// Real inotify on a temporary folder.
class ToolSettingsMonitorTest : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return config.filePath(relative); }
    bool changes(QSignalSpy& spy) const {
        return QTest::qWaitFor([&] { return !spy.isEmpty(); }, 5000);
    }

    QTemporaryDir config;
};

TEST_F(ToolSettingsMonitorTest, AFileRewrittenInPlaceIsAChange) {
    const QString file = path("xfce4/xfce4-screenshooter");
    ASSERT_TRUE(test::put(file, "screenshot_dir=file:/a\n"));
    ToolSettingsMonitor monitor({file}, TimerSource::realTime());
    ASSERT_TRUE(monitor.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.isSettled(); }, 5000));
    QSignalSpy spy(&monitor, &ToolSettingsMonitor::changed);

    QFile same(file);
    ASSERT_TRUE(same.open(QIODevice::Append));  // no new name: only the write tells
    same.write("action=1\n");
    same.close();
    EXPECT_TRUE(changes(spy));
}

TEST_F(ToolSettingsMonitorTest, AToolsFirstRunMakingItsFolderIsAChange) {
    const QString file = path("flameshot/flameshot.ini");
    ToolSettingsMonitor monitor({file, path("user-dirs.dirs")}, TimerSource::realTime());
    EXPECT_EQ(monitor.folders(), QStringList({path("flameshot"), config.path()}));
    ASSERT_TRUE(monitor.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.isSettled(); }, 5000));
    QSignalSpy spy(&monitor, &ToolSettingsMonitor::changed);

    ASSERT_TRUE(test::put(file, ""));
    ASSERT_TRUE(changes(spy));
    QTest::qWait(2 * ScreenshotWatcher::latency.count());  // lets the burst's last firing pass
    spy.clear();
    test::writeFile(file + ".lock", "");
    // As QSaveFile replaces a file.
    ASSERT_EQ(::rename(QFile::encodeName(file + ".lock"), QFile::encodeName(file)), 0);
    EXPECT_TRUE(changes(spy));
}

}  // namespace
