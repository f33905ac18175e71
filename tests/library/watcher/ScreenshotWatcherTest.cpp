#include <gtest/gtest.h>

#include <sys/resource.h>
#include <cstdio>

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <atomic>
#include <memory>

#include "WatcherTestSupport.h"
#include "library/watcher/ScreenshotWatcher.h"

using namespace framlet;
using test::Report;

namespace {

constexpr int kTimeoutMs = 10000;

QUrl urlOf(const QString& path) {
    return QUrl::fromLocalFile(path);
}

QDateTime at(int seconds) {
    return QDateTime::fromSecsSinceEpoch(1'700'000'000 + seconds, Qt::UTC);
}

// Waits for a file written after everything else to be reported: every listing that could still
// report an earlier change was applied or dropped by then.
void settle(test::Recorder& recorder, const QString& folder) {
    static int counter = 0;
    const QString name = QStringLiteral("zz-sentinel-%1.png").arg(++counter);
    test::writeFile(folder + u'/' + name);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.hasAdded(name); }, kTimeoutMs))
        << "no " << name.toStdString();
}

// One watcher and what it reported; `dir` is there for the tests that watch a real folder.
class WatcherTest : public ::testing::Test {
protected:
    // Lists the folders through `list` when given, else as they are on the disk.
    void start(const QList<QUrl>& folders, int seedRecent,
               ScreenshotWatcher::ListFunction list = {}) {
        watcher = std::make_unique<ScreenshotWatcher>(folders, TimerSource::realTime());
        recorder.listenTo(*watcher);
        if (list) {
            watcher->setListFunction(std::move(list));
        }
        watcher->start(seedRecent);
    }
    // Watches `dir` holding the named files, and waits for it to be seeded.
    void startIn(const QStringList& names, int seedRecent = 10) {
        for (const QString& name : names) {
            test::writeFile(path(name));
        }
        start({urlOf(dir.path())}, seedRecent);
        ASSERT_TRUE(seeded());
        ASSERT_TRUE(watcher->isWatching());
    }
    bool seeded() const {
        return QTest::qWaitFor([&] { return watcher->hasSeeded(); }, kTimeoutMs);
    }
    bool added(const QString& name) const {
        return QTest::qWaitFor([&] { return recorder.hasAdded(name); }, kTimeoutMs);
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    test::Recorder recorder;
    std::unique_ptr<ScreenshotWatcher> watcher;
};
using ScreenshotWatcherSeeding = WatcherTest;
using ScreenshotWatcherIntegration = WatcherTest;
using ScreenshotWatcherLive = WatcherTest;
using ScreenshotWatcherLifetime = WatcherTest;

TEST_F(ScreenshotWatcherSeeding, ReportsTheNewestUpToTheLimitOldestFirstAndKnowsAll) {
    ScreenshotWatcher::Listing listing;
    for (int i = 0; i < 100; ++i) {
        // Listed in a scrambled order; every date distinct.
        const int age = (i * 37) % 100;
        listing.append({urlOf(QStringLiteral("/shots/%1.png").arg(age)), at(age), {}});
    }
    start({urlOf("/shots")}, 60, [&](const QUrl&) { return test::readable(listing); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher->knownFiles().size() == 100; }, kTimeoutMs));

    ASSERT_EQ(recorder.reports.size(), 60);
    for (int i = 0; i < 60; ++i) {
        const Report& report = recorder.reports[i];
        EXPECT_TRUE(report.isSeed);
        EXPECT_EQ(report.createdAt, at(40 + i));  // the 60 newest, ascending
        EXPECT_EQ(report.urls, QList<QUrl>{urlOf(QStringLiteral("/shots/%1.png").arg(40 + i))});
    }

    // The files beyond the limit are known, so a rescan does not bring them up as new.
    watcher->integrate(listing);
    EXPECT_EQ(recorder.reports.size(), 60);
}

TEST_F(ScreenshotWatcherSeeding, EqualDatesKeepListingOrderAndUndatedFilesSortOldest) {
    const ScreenshotWatcher::Listing listing{
        {urlOf("/s/undated.png"), FolderListing::distantPast(), {}},
        {urlOf("/s/first.png"), at(5), {}},
        {urlOf("/s/second.png"), at(5), {}},
        {urlOf("/s/older.png"), at(1), {}},
    };
    start({urlOf("/s")}, 3, [&](const QUrl&) { return test::readable(listing); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.reports.size() == 3; }, kTimeoutMs));
    // Reported oldest first, so "first" (listed first among equals) ends up nearest the front.
    EXPECT_EQ(recorder.names(Report::added), QStringList({"older.png", "second.png", "first.png"}));
}

TEST_F(ScreenshotWatcherSeeding, WithoutFoldersNothingIsReportedAndNothingWatched) {
    start({}, 60);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.reports.isEmpty());
    EXPECT_FALSE(watcher->isWatching());
}

TEST_F(ScreenshotWatcherIntegration, RemovalsComeFirstInOneCallThenAdditionsOldestFirst) {
    const ListedFile a{urlOf("/s/a.png"), at(1), {}};
    const ListedFile b{urlOf("/s/b.png"), at(2), {}};
    const ListedFile c{urlOf("/s/c.png"), at(3), {}};
    start({urlOf("/s")}, 0, [&](const QUrl&) { return test::readable({a, b, c}); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher->knownFiles().size() == 3; }, kTimeoutMs));

    // A rename shows up as one removal and one addition; d is older than e but listed after it.
    const ListedFile renamed{urlOf("/s/c renamed.png"), at(3), {}};
    const ListedFile d{urlOf("/s/d.png"), at(4), {}};
    const ListedFile e{urlOf("/s/e.png"), at(9), {}};
    watcher->integrate({e, renamed, d});

    ASSERT_EQ(recorder.reports.size(), 4);
    EXPECT_EQ(recorder.reports[0].kind, Report::removed);
    EXPECT_EQ(QSet<QUrl>(recorder.reports[0].urls.begin(), recorder.reports[0].urls.end()),
              QSet<QUrl>({a.url, b.url, c.url}));
    EXPECT_EQ(recorder.names(Report::added), QStringList({"c renamed.png", "d.png", "e.png"}));
    EXPECT_FALSE(recorder.reports[1].isSeed);
    EXPECT_EQ(watcher->knownFiles(), QSet<QUrl>({e.url, renamed.url, d.url}));
}

TEST_F(ScreenshotWatcherIntegration, ADuplicateFolderIsWatchedOnce) {
    test::writeFile(path("a.png"));
    const QUrl folder = urlOf(dir.path());
    start({folder, urlOf(dir.path() + "/"), folder}, 10);
    EXPECT_EQ(watcher->folders(), QList<QUrl>{folder});
    ASSERT_TRUE(seeded());
    EXPECT_EQ(recorder.names(Report::added), QStringList{"a.png"});
}

TEST_F(ScreenshotWatcherLive, ANewFileIsReportedOnceUnderItsFinalName) {
    startIn({"old.png"});
    // Screenshot tools often write a hidden file and give it its name when done.
    test::writeFile(path(".shot.png.part"), QByteArray(4096, 'p'));
    ASSERT_TRUE(QFile::rename(path(".shot.png.part"), path("shot.png")));
    ASSERT_TRUE(added("shot.png"));
    settle(recorder, dir.path());

    EXPECT_EQ(recorder.names(Report::added).count("shot.png"), 1);
    EXPECT_EQ(recorder.names(Report::added).first(), "old.png");
    EXPECT_TRUE(recorder.reports.first().isSeed);
    for (qsizetype i = 1; i < recorder.reports.size(); ++i) {
        EXPECT_FALSE(recorder.reports[i].isSeed);
    }
    EXPECT_TRUE(recorder.names(Report::removed).isEmpty());
}

TEST_F(ScreenshotWatcherLive, AFileOverwrittenInPlaceOrRenamedOverIsReportedChangedNotNew) {
    const QString shot = path("shot.png");
    startIn({"shot.png"});
    recorder.reports.clear();
    const auto changedOnce = [&] {
        return recorder.names(Report::changed) == QStringList{"shot.png"};
    };

    test::writeFile(shot, QByteArray(200, 'b'));  // truncated and written again: no name changes
    ASSERT_TRUE(QTest::qWaitFor(changedOnce, kTimeoutMs));

    recorder.reports.clear();
    const QString staged = path(".next.png");
    test::writeFile(staged, QByteArray(200, 'c'));  // the same size, another file
    ASSERT_EQ(std::rename(QFile::encodeName(staged), QFile::encodeName(shot)), 0);
    ASSERT_TRUE(QTest::qWaitFor(changedOnce, kTimeoutMs));
    settle(recorder, dir.path());
    EXPECT_FALSE(recorder.hasAdded("shot.png"));
    EXPECT_TRUE(recorder.names(Report::removed).isEmpty());
}

TEST_F(ScreenshotWatcherLive, ABurstOfAThousandFilesIsReportedExactlyOnceEach) {
    startIn({});
    QStringList written;
    for (int i = 0; i < 1000; ++i) {
        written.append(QStringLiteral("burst %1.png").arg(i, 4, 10, QChar(u'0')));
        test::writeFile(path(written.last()));
        QCoreApplication::processEvents();  // let rescans run during the burst, as they would
    }
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return recorder.names(Report::added).size() >= 1000; }, kTimeoutMs))
        << recorder.names(Report::added).size();
    settle(recorder, dir.path());

    QStringList reported = recorder.names(Report::added);
    reported.removeLast();  // the sentinel
    EXPECT_EQ(reported.size(), 1000);
    reported.sort();
    EXPECT_EQ(reported, written);
}

TEST_F(ScreenshotWatcherLive, DeletingAndAddingInOneBurstReportsEachChangeOnce) {
    startIn({"a.png", "b.png", "c.png"}, 0);
    QFile::remove(path("a.png"));
    QFile::remove(path("b.png"));
    test::writeFile(path("d.png"));
    settle(recorder, dir.path());

    QStringList removed = recorder.names(Report::removed);
    removed.sort();
    EXPECT_EQ(removed, QStringList({"a.png", "b.png"}));
    EXPECT_EQ(recorder.names(Report::added).count("d.png"), 1);
    EXPECT_EQ(watcher->knownFiles().size(), 3);  // c, d and the sentinel
}

TEST_F(ScreenshotWatcherLive, AFolderCreatedLaterOrDeletedAndCreatedAgainIsFollowed) {
    const QString folder = path("Pictures/Screenshots");
    start({urlOf(folder)}, 10);
    ASSERT_TRUE(seeded());
    EXPECT_TRUE(recorder.reports.isEmpty());

    QDir().mkpath(folder);  // two levels appear, one after the other
    test::writeFile(folder + "/a.png");
    ASSERT_TRUE(added("a.png"));
    EXPECT_FALSE(recorder.reports.last().isSeed);

    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return recorder.names(Report::removed) == QStringList{"a.png"}; }, kTimeoutMs));
    QDir().mkpath(folder);
    test::writeFile(folder + "/b.png");
    ASSERT_TRUE(added("b.png"));
    EXPECT_FALSE(recorder.reports.last().isSeed);
}

// Each swap is one rename, so no listing can find the folder simply gone in between.
void pointLinkAt(const QString& link, const QString& target) {
    const QString staged = link + ".new";
    ASSERT_TRUE(QFile::link(target, staged));
    ASSERT_EQ(std::rename(QFile::encodeName(staged), QFile::encodeName(link)), 0);
}

// Reached through a link that briefly loops (any error but "no such folder" will do, also for
// root, whom permissions never stop).
TEST_F(ScreenshotWatcherLive, AFolderBrieflyUnreadableKeepsItsFiles) {
    QTemporaryDir real;
    test::writeFile(real.path() + "/a.png");
    const QString link = path("shots");
    ASSERT_TRUE(QFile::link(real.path(), link));
    start({urlOf(link), urlOf(dir.path())}, 10);
    ASSERT_TRUE(seeded());
    ASSERT_TRUE(recorder.hasAdded("a.png"));
    recorder.reports.clear();

    pointLinkAt(link, link);  // a link to itself: listing it fails
    watcher->rescan();
    settle(recorder, dir.path());
    pointLinkAt(link, real.path());
    watcher->rescan();
    settle(recorder, dir.path());
    EXPECT_TRUE(recorder.names(Report::removed).isEmpty());
    EXPECT_FALSE(recorder.hasAdded("a.png"));
}

TEST_F(ScreenshotWatcherLive, AWatchedLinkPointedElsewhereOrReplacedByAFolderIsFollowed) {
    QTemporaryDir first;
    QTemporaryDir second;
    test::writeFile(first.path() + "/a.png");
    test::writeFile(second.path() + "/b.png");
    const QString link = path("shots");
    ASSERT_TRUE(QFile::link(first.path(), link));
    start({urlOf(link)}, 10);
    ASSERT_TRUE(seeded());
    ASSERT_TRUE(recorder.hasAdded("a.png"));

    pointLinkAt(link, second.path());
    ASSERT_TRUE(added("b.png"));
    EXPECT_EQ(recorder.names(Report::removed), QStringList{"a.png"});

    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QDir().mkdir(link));
    test::writeFile(link + "/c.png");
    ASSERT_TRUE(added("c.png"));
    settle(recorder, link);
}

TEST_F(ScreenshotWatcherLifetime, AStoppedWatcherReportsNothingMore) {
    startIn({});
    watcher->stop();
    EXPECT_FALSE(watcher->isWatching());

    test::Recorder witness;
    ScreenshotWatcher other({urlOf(dir.path())}, TimerSource::realTime());
    witness.listenTo(other);
    other.start(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.hasSeeded(); }, kTimeoutMs));
    test::writeFile(path("after.png"));
    watcher->rescan();
    settle(witness, dir.path());
    EXPECT_TRUE(witness.hasAdded("after.png"));
    EXPECT_TRUE(recorder.reports.isEmpty());
}

// Decodes fill the shared pool; a stuck one must never keep the folders from being listed.
TEST_F(ScreenshotWatcherLifetime, ListingsRunEvenWhileEveryPoolThreadIsStuck) {
    QSemaphore release;
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int threads = pool.maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        pool.start([&release] { release.acquire(); });
    }
    test::writeFile(path("there.png"));
    start({urlOf(dir.path())}, 10);
    const bool wasSeeded = seeded();
    release.release(threads);
    pool.waitForDone();
    EXPECT_TRUE(wasSeeded);
    EXPECT_TRUE(recorder.hasAdded("there.png"));
}

// Without an event stream only explicit rescans find changes: one asked during seeding counts.
TEST_F(ScreenshotWatcherLifetime, ARescanDuringSeedingRunsEvenWithoutAStream) {
    QSemaphore release;
    std::atomic<int> calls{0};
    rlimit limits{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limits), 0);
    const rlimit none{0, limits.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &none);  // no descriptor for inotify
    start({urlOf(dir.path())}, 10, [&](const QUrl&) {
        if (++calls == 1) {
            release.acquire();
        }
        return test::readable({});
    });
    ::setrlimit(RLIMIT_NOFILE, &limits);
    ASSERT_FALSE(watcher->isWatching());
    watcher->rescan();
    release.release();
    ASSERT_TRUE(seeded());
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, kTimeoutMs));
}

// A folder that answers slowly holds one thread: rescans asked meanwhile become one listing after
// it, never a second listing beside it; one still running when its watcher goes is dropped.
TEST_F(ScreenshotWatcherLifetime, AHeldListingIsNeverJoinedByAnotherAndDiesWithItsWatcher) {
    QSemaphore release;
    std::atomic<int> calls{0};
    std::atomic<bool> heldListingDone{false};
    const ListedFile kept{urlOf(path("kept.png")), at(1), {}};
    const ListedFile fresh{urlOf(path("fresh.png")), at(2), {}};
    start({urlOf(dir.path())}, 10, [&](const QUrl&) {
        const int call = ++calls;
        if (call == 2) {
            release.acquire();
            heldListingDone = true;
        }
        return test::readable(call <= 2 ? ScreenshotWatcher::Listing{kept}
                                        : ScreenshotWatcher::Listing{kept, fresh});
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.reports.size() == 1; }, kTimeoutMs));

    watcher->rescan();  // held back
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, kTimeoutMs));
    watcher->rescan();
    watcher->rescan();
    release.release();
    ASSERT_TRUE(added("fresh.png"));
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(recorder.names(Report::removed).isEmpty());

    heldListingDone = false;
    watcher->setListFunction([&](const QUrl&) {
        ++calls;
        release.acquire();
        heldListingDone = true;
        return test::readable({});
    });
    watcher->rescan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 4; }, kTimeoutMs));
    watcher.reset();
    const qsizetype before = recorder.reports.size();
    release.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldListingDone.load(); }, kTimeoutMs));
    QTest::qWait(100);  // its result reaches the watcher
    EXPECT_EQ(recorder.reports.size(), before);
}

}  // namespace
