#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>

#include "FileBytes.h"
#include "LogTail.h"
#include "ManualTimers.h"
#include "StallingMount.h"
#include "WatcherTestSupport.h"
#include "library/watcher/FolderAccess.h"
#include "library/watcher/ScreenshotWatcher.h"

using namespace framlet;
using test::Report;
using Stalled = test::StallingMount::Stalled;

namespace {

constexpr int kTimeoutMs = 10000;

qsizetype threadCount() {
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// Watched folders on a real FUSE mount that stops answering, as a stale network share does,
// beside a folder that answers.
class DeadMountTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::put(good() + "/there.png", "x")); }
    void TearDown() override {
        watcher.reset();  // before the mount goes, so nothing waits on it for a reply
    }

    QString good() const { return dir.path() + "/good"; }
    QString share() const { return dir.path() + "/share"; }
    QString shots() const { return share() + "/shots"; }
    void start(const QStringList& folders, TimerSource& clock) {
        QList<QUrl> urls;
        for (const QString& folder : folders) {
            urls.append(QUrl::fromLocalFile(folder));
        }
        watcher = std::make_unique<ScreenshotWatcher>(urls, clock);
        recorder.listenTo(*watcher);
        watcher->start(10);
    }
    // A file written into the folder that answers is reported, found through its event or, as
    // the change window stays open on the manual clock, by a rescan.
    void capture(const QString& name, bool rescan = true) {
        test::writeFile(good() + u'/' + name);
        if (rescan) {
            watcher->rescan();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.hasAdded(name); }, kTimeoutMs))
            << name.toStdString();
    }
    bool logged(const QString& folder, const char* what) const {
        return log.text().contains("watcher: " + folder + QLatin1String(what));
    }

    QTemporaryDir dir;  // removed last, once nothing is mounted in it
    test::LogTail log;
    test::ManualTimers timers;
    std::optional<test::StallingMount> mount;
    test::Recorder recorder;
    std::unique_ptr<ScreenshotWatcher> watcher;
};

TEST_F(DeadMountTest, FoldersThatNeverAnswerHoldUpNeitherThisThreadNorTheOtherFolders) {
    mount.emplace(share(), Stalled::atOnce);
    FRAMLET_REQUIRE_MOUNT(*mount);
    const QString link = dir.path() + "/link";
    ASSERT_TRUE(QFile::link(shots(), link));
    // The mount itself, a folder on it, a link to that folder, and a folder below one on it.
    const QStringList stalled{share(), shots(), link, share() + "/gone/deeper"};
    start(QStringList{good()} + stalled, TimerSource::realTime());
    QFuture<FolderAccess::Status> probe = FolderAccess::probeOffMain(QUrl::fromLocalFile(shots()));

    bool turned = false;
    QTimer::singleShot(0, [&] { turned = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return turned; }, kTimeoutMs));
    // Seeded once the patience has run out for the folders that do not answer.
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher->hasSeeded(); }, 3 * kTimeoutMs));
    EXPECT_EQ(recorder.names(Report::added), QStringList{"there.png"});
    for (const QString& folder : stalled) {
        EXPECT_TRUE(logged(folder, " does not answer; watching it is paused"))
            << log.text().toStdString();
    }
    capture("new.png", false);
    EXPECT_FALSE(probe.isFinished());

    // Built anew, as when the settings change, the watcher waits behind the same threads and the
    // log does not say it all again.
    const qsizetype threads = threadCount();
    watcher.reset();
    start(QStringList{good()} + stalled, TimerSource::realTime());
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher->hasSeeded(); }, 3 * kTimeoutMs));
    EXPECT_TRUE(recorder.hasAdded("new.png"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return threadCount() <= threads; }, kTimeoutMs))
        << threadCount() << " threads, " << threads << " before";
    EXPECT_EQ(log.text().count(" does not answer"), stalled.size());
    EXPECT_TRUE(mount->stillStalling()) << "something waited on the mount until it gave up";

    // Once the mount answers, the files it had are told as seeds, not as captures.
    recorder.reports.clear();
    mount->resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.names(Report::added).count("old.png") == 2; },
                                kTimeoutMs));
    for (const Report& report : recorder.reports) {
        EXPECT_TRUE(report.isSeed);
    }
    EXPECT_TRUE(logged(shots(), " answers again; watching it resumes"));
    EXPECT_EQ(probe.result(), FolderAccess::Status::granted);
}

TEST_F(DeadMountTest, AFolderThatStopsAnsweringKeepsItsFilesAndHoldsOneThread) {
    mount.emplace(share(), Stalled::later);
    FRAMLET_REQUIRE_MOUNT(*mount);
    start({good(), shots()}, timers);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.reports.size() == 2; }, kTimeoutMs));
    EXPECT_TRUE(recorder.hasAdded("old.png"));

    mount->stall();
    recorder.reports.clear();
    capture("new.png", false);  // its listing of the share does not come back
    timers.advance(ScreenshotWatcher::patience);
    EXPECT_TRUE(logged(shots(), " does not answer; watching it is paused"))
        << log.text().toStdString();
    EXPECT_FALSE(logged(good(), " does not answer"));

    // Asked again and again, the folder keeps the one listing that waits.
    const qsizetype threads = threadCount();
    for (int i = 0; i < 5; ++i) {
        capture(QStringLiteral("more %1.png").arg(i));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return threadCount() <= threads; }, kTimeoutMs))
        << threadCount() << " threads, " << threads << " before";
    EXPECT_TRUE(mount->stillStalling());

    mount->resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(shots(), " answers again"); }, kTimeoutMs));
    capture("last.png");
    EXPECT_TRUE(recorder.names(Report::removed).isEmpty());
    EXPECT_FALSE(recorder.hasAdded("old.png"));
    EXPECT_TRUE(watcher->knownFiles().contains(QUrl::fromLocalFile(shots() + "/old.png")));
}

}  // namespace
