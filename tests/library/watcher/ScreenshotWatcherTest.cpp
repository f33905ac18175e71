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

struct Started {
    test::Recorder recorder;
    std::unique_ptr<ScreenshotWatcher> watcher;

    // Lists the folders through `list` when given, else as they are on the disk.
    Started(const QList<QUrl>& folders, int seedRecent, ScreenshotWatcher::ListFunction list = {}) {
        watcher = std::make_unique<ScreenshotWatcher>(folders, TimerSource::realTime());
        recorder.listenTo(*watcher);
        if (list) {
            watcher->setListFunction(std::move(list));
        }
        watcher->start(seedRecent);
    }
    bool waitSeeded() {
        return QTest::qWaitFor([&] { return watcher->hasSeeded(); }, kTimeoutMs);
    }
};

TEST(ScreenshotWatcherSeeding, ReportsTheNewestUpToTheLimitOldestFirstAndKnowsAll) {
    ScreenshotWatcher::Listing listing;
    for (int i = 0; i < 100; ++i) {
        // Listed in a scrambled order; every date distinct.
        const int age = (i * 37) % 100;
        listing.append({urlOf(QStringLiteral("/shots/%1.png").arg(age)), at(age), {}});
    }
    Started started({urlOf("/shots")}, 60, [&](const QUrl&) { return test::readable(listing); });
    auto& [recorder, watcher] = started;
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

TEST(ScreenshotWatcherSeeding, EqualDatesKeepListingOrderAndUndatedFilesSortOldest) {
    const ScreenshotWatcher::Listing listing{
        {urlOf("/s/undated.png"), FolderListing::distantPast(), {}},
        {urlOf("/s/first.png"), at(5), {}},
        {urlOf("/s/second.png"), at(5), {}},
        {urlOf("/s/older.png"), at(1), {}},
    };
    Started started({urlOf("/s")}, 3, [&](const QUrl&) { return test::readable(listing); });
    const test::Recorder& recorder = started.recorder;
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.reports.size() == 3; }, kTimeoutMs));
    // Reported oldest first, so "first" (listed first among equals) ends up nearest the front.
    EXPECT_EQ(recorder.names(Report::added), QStringList({"older.png", "second.png", "first.png"}));
}

TEST(ScreenshotWatcherSeeding, WithoutFoldersNothingIsReportedAndNothingWatched) {
    Started started({}, 60);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(started.recorder.reports.isEmpty());
    EXPECT_FALSE(started.watcher->isWatching());
}

TEST(ScreenshotWatcherIntegration, RemovalsComeFirstInOneCallThenAdditionsOldestFirst) {
    const ListedFile a{urlOf("/s/a.png"), at(1), {}};
    const ListedFile b{urlOf("/s/b.png"), at(2), {}};
    const ListedFile c{urlOf("/s/c.png"), at(3), {}};
    Started started({urlOf("/s")}, 0, [&](const QUrl&) { return test::readable({a, b, c}); });
    auto& [recorder, watcher] = started;
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

TEST(ScreenshotWatcherIntegration, ADuplicateFolderIsWatchedOnce) {
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/a.png");
    const QUrl folder = urlOf(dir.path());
    Started started({folder, urlOf(dir.path() + "/"), folder}, 10);
    EXPECT_EQ(started.watcher->folders(), QList<QUrl>{folder});
    ASSERT_TRUE(started.waitSeeded());
    EXPECT_EQ(started.recorder.names(Report::added), QStringList{"a.png"});
}

TEST(ScreenshotWatcherLive, ANewFileIsReportedOnceUnderItsFinalName) {
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/old.png");
    Started started({urlOf(dir.path())}, 10);
    ASSERT_TRUE(started.waitSeeded());
    ASSERT_TRUE(started.watcher->isWatching());

    // Screenshot tools often write a hidden file and give it its name when done.
    const QString hidden = dir.path() + "/.shot.png.part";
    test::writeFile(hidden, QByteArray(4096, 'p'));
    ASSERT_TRUE(QFile::rename(hidden, dir.path() + "/shot.png"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.recorder.hasAdded("shot.png"); }, kTimeoutMs));
    settle(started.recorder, dir.path());

    const auto& reports = started.recorder.reports;
    EXPECT_EQ(started.recorder.names(Report::added).count("shot.png"), 1);
    EXPECT_EQ(started.recorder.names(Report::added).first(), "old.png");
    EXPECT_TRUE(reports.first().isSeed);
    for (qsizetype i = 1; i < reports.size(); ++i) {
        EXPECT_FALSE(reports[i].isSeed);
    }
    EXPECT_TRUE(started.recorder.names(Report::removed).isEmpty());
}

TEST(ScreenshotWatcherLive, AFileOverwrittenInPlaceOrRenamedOverIsReportedChangedNotNew) {
    QTemporaryDir dir;
    const QString shot = dir.path() + "/shot.png";
    test::writeFile(shot, QByteArray(100, 'a'));
    Started started({urlOf(dir.path())}, 10);
    ASSERT_TRUE(started.waitSeeded());
    started.recorder.reports.clear();
    const auto changedOnce = [&] {
        return started.recorder.names(Report::changed) == QStringList{"shot.png"};
    };

    test::writeFile(shot, QByteArray(200, 'b'));  // truncated and written again: no name changes
    ASSERT_TRUE(QTest::qWaitFor(changedOnce, kTimeoutMs));

    started.recorder.reports.clear();
    const QString staged = dir.path() + "/.next.png";
    test::writeFile(staged, QByteArray(200, 'c'));  // the same size, another file
    ASSERT_EQ(std::rename(QFile::encodeName(staged), QFile::encodeName(shot)), 0);
    ASSERT_TRUE(QTest::qWaitFor(changedOnce, kTimeoutMs));
    settle(started.recorder, dir.path());
    EXPECT_FALSE(started.recorder.hasAdded("shot.png"));
    EXPECT_TRUE(started.recorder.names(Report::removed).isEmpty());
}

TEST(ScreenshotWatcherLive, ABurstOfAThousandFilesIsReportedExactlyOnceEach) {
    QTemporaryDir dir;
    Started started({urlOf(dir.path())}, 10);
    ASSERT_TRUE(started.waitSeeded());

    QStringList written;
    for (int i = 0; i < 1000; ++i) {
        written.append(QStringLiteral("burst %1.png").arg(i, 4, 10, QChar(u'0')));
        test::writeFile(dir.path() + u'/' + written.last());
        QCoreApplication::processEvents();  // let rescans run during the burst, as they would
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return started.recorder.names(Report::added).size() >= 1000; }, kTimeoutMs))
        << started.recorder.names(Report::added).size();
    settle(started.recorder, dir.path());

    QStringList added = started.recorder.names(Report::added);
    added.removeLast();  // the sentinel
    EXPECT_EQ(added.size(), 1000);
    added.sort();
    EXPECT_EQ(added, written);
}

TEST(ScreenshotWatcherLive, DeletingAndAddingInOneBurstReportsEachChangeOnce) {
    QTemporaryDir dir;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        test::writeFile(dir.path() + u'/' + QLatin1String(name));
    }
    Started started({urlOf(dir.path())}, 0);
    ASSERT_TRUE(started.waitSeeded());
    ASSERT_TRUE(started.watcher->isWatching());

    QFile::remove(dir.path() + "/a.png");
    QFile::remove(dir.path() + "/b.png");
    test::writeFile(dir.path() + "/d.png");
    settle(started.recorder, dir.path());

    QStringList removed = started.recorder.names(Report::removed);
    removed.sort();
    EXPECT_EQ(removed, QStringList({"a.png", "b.png"}));
    EXPECT_EQ(started.recorder.names(Report::added).count("d.png"), 1);
    EXPECT_EQ(started.watcher->knownFiles().size(), 3);  // c, d and the sentinel
}

TEST(ScreenshotWatcherLive, AFolderCreatedLaterOrDeletedAndCreatedAgainIsFollowed) {
    QTemporaryDir parent;
    const QString folder = parent.path() + "/Pictures/Screenshots";
    Started started({urlOf(folder)}, 10);
    ASSERT_TRUE(started.waitSeeded());
    EXPECT_TRUE(started.recorder.reports.isEmpty());

    QDir().mkpath(folder);  // two levels appear, one after the other
    test::writeFile(folder + "/a.png");
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.recorder.hasAdded("a.png"); }, kTimeoutMs));
    EXPECT_FALSE(started.recorder.reports.last().isSeed);

    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return started.recorder.names(Report::removed) == QStringList{"a.png"}; },
        kTimeoutMs));
    QDir().mkpath(folder);
    test::writeFile(folder + "/b.png");
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.recorder.hasAdded("b.png"); }, kTimeoutMs));
    EXPECT_FALSE(started.recorder.reports.last().isSeed);
}

// Reached through a link that briefly loops (any error but "no such folder" will do, also for
// root, whom permissions never stop).
TEST(ScreenshotWatcherLive, AFolderBrieflyUnreadableKeepsItsFiles) {
    QTemporaryDir real;
    QTemporaryDir open;
    test::writeFile(real.path() + "/a.png");
    const QString link = open.path() + "/shots";
    ASSERT_TRUE(QFile::link(real.path(), link));
    Started started({urlOf(link), urlOf(open.path())}, 10);
    ASSERT_TRUE(started.waitSeeded());
    ASSERT_TRUE(started.recorder.hasAdded("a.png"));
    started.recorder.reports.clear();

    // Each swap is one rename, so no listing can find the folder simply gone in between.
    const auto pointLinkAt = [&](const QString& target) {
        const QString staged = link + ".new";
        ASSERT_TRUE(QFile::link(target, staged));
        ASSERT_EQ(std::rename(QFile::encodeName(staged), QFile::encodeName(link)), 0);
    };
    pointLinkAt(link);  // a link to itself: listing it fails
    started.watcher->rescan();
    settle(started.recorder, open.path());
    pointLinkAt(real.path());
    started.watcher->rescan();
    settle(started.recorder, open.path());
    EXPECT_TRUE(started.recorder.names(Report::removed).isEmpty());
    EXPECT_FALSE(started.recorder.hasAdded("a.png"));
}

TEST(ScreenshotWatcherLive, AWatchedLinkPointedElsewhereOrReplacedByAFolderIsFollowed) {
    QTemporaryDir first;
    QTemporaryDir second;
    QTemporaryDir open;
    test::writeFile(first.path() + "/a.png");
    test::writeFile(second.path() + "/b.png");
    const QString link = open.path() + "/shots";
    ASSERT_TRUE(QFile::link(first.path(), link));
    Started started({urlOf(link)}, 10);
    ASSERT_TRUE(started.waitSeeded());
    ASSERT_TRUE(started.recorder.hasAdded("a.png"));

    const QString staged = link + ".new";
    ASSERT_TRUE(QFile::link(second.path(), staged));
    ASSERT_EQ(std::rename(QFile::encodeName(staged), QFile::encodeName(link)), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.recorder.hasAdded("b.png"); }, kTimeoutMs));
    EXPECT_EQ(started.recorder.names(Report::removed), QStringList{"a.png"});

    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QDir().mkdir(link));
    test::writeFile(link + "/c.png");
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.recorder.hasAdded("c.png"); }, kTimeoutMs));
    settle(started.recorder, link);
}

TEST(ScreenshotWatcherLifetime, AStoppedWatcherReportsNothingMore) {
    QTemporaryDir dir;
    Started stopped({urlOf(dir.path())}, 10);
    ASSERT_TRUE(stopped.waitSeeded());
    ASSERT_TRUE(stopped.watcher->isWatching());
    stopped.watcher->stop();
    EXPECT_FALSE(stopped.watcher->isWatching());

    Started witness({urlOf(dir.path())}, 10);
    ASSERT_TRUE(witness.waitSeeded());
    test::writeFile(dir.path() + "/after.png");
    stopped.watcher->rescan();
    settle(witness.recorder, dir.path());
    EXPECT_TRUE(witness.recorder.hasAdded("after.png"));
    EXPECT_TRUE(stopped.recorder.reports.isEmpty());
}

// Decodes fill the shared pool; a stuck one must never keep the folders from being listed.
TEST(ScreenshotWatcherLifetime, ListingsRunEvenWhileEveryPoolThreadIsStuck) {
    QSemaphore release;
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int threads = pool.maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        pool.start([&release] { release.acquire(); });
    }
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/there.png");
    Started started({urlOf(dir.path())}, 10);
    const bool seeded = started.waitSeeded();
    release.release(threads);
    pool.waitForDone();
    EXPECT_TRUE(seeded);
    EXPECT_TRUE(started.recorder.hasAdded("there.png"));
}

// Without an event stream only explicit rescans find changes: one asked during seeding counts.
TEST(ScreenshotWatcherLifetime, ARescanDuringSeedingRunsEvenWithoutAStream) {
    QSemaphore release;
    std::atomic<int> calls{0};
    QTemporaryDir dir;
    test::Recorder recorder;
    ScreenshotWatcher watcher({urlOf(dir.path())}, TimerSource::realTime());
    recorder.listenTo(watcher);
    watcher.setListFunction([&](const QUrl&) {
        if (++calls == 1) {
            release.acquire();
        }
        return test::readable({});
    });
    rlimit limits{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limits), 0);
    const rlimit none{0, limits.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &none);  // no descriptor for inotify
    watcher.start(10);
    ::setrlimit(RLIMIT_NOFILE, &limits);
    ASSERT_FALSE(watcher.isWatching());
    watcher.rescan();
    release.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.hasSeeded(); }, kTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, kTimeoutMs));
}

// A folder that answers slowly holds one thread: rescans asked meanwhile become one listing after
// it, never a second listing beside it; one still running when its watcher goes is dropped.
TEST(ScreenshotWatcherLifetime, AHeldListingIsNeverJoinedByAnotherAndDiesWithItsWatcher) {
    QSemaphore release;
    std::atomic<int> calls{0};
    std::atomic<bool> heldListingDone{false};
    QTemporaryDir dir;
    const ListedFile kept{urlOf(dir.path() + "/kept.png"), at(1), {}};
    const ListedFile fresh{urlOf(dir.path() + "/fresh.png"), at(2), {}};
    const auto holdSecondListing = [&](const QUrl&) {
        const int call = ++calls;
        if (call == 2) {
            release.acquire();
            heldListingDone = true;
        }
        return test::readable(call <= 2 ? ScreenshotWatcher::Listing{kept}
                                        : ScreenshotWatcher::Listing{kept, fresh});
    };

    Started started({urlOf(dir.path())}, 10, holdSecondListing);
    auto& [recorder, watcher] = started;
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.reports.size() == 1; }, kTimeoutMs));

    watcher->rescan();  // held back
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, kTimeoutMs));
    watcher->rescan();
    watcher->rescan();
    release.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.hasAdded("fresh.png"); }, kTimeoutMs));
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
