#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "LogTail.h"
#include "ManualTimers.h"
#include "TestImages.h"
#include "library/decoding/DecodeBudget.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"

using namespace framlet;
using namespace std::chrono_literals;

namespace {

struct PendingText {
    OCRService::Job job;
    OCRService::Completion completion;
};

class ScreenshotStoreTest : public ::testing::Test {
protected:
    ScreenshotStoreTest()
        : m_store(
              [this](OCRService::Job job, OCRService::Completion completion) {
                  m_texts.push_back({std::move(job), std::move(completion)});
              },
              m_budget, m_timers, m_pool) {}

    ~ScreenshotStoreTest() override { m_pool.waitForDone(); }

    QUrl url(const QString& name) const { return QUrl::fromLocalFile(m_dir.filePath(name)); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Adds a file that does not exist: its thumbnail work stays parked at the first wait.
    void addNames(const QStringList& names) {
        for (const QString& name : names) {
            m_store.add(url(name), QDateTime::currentDateTimeUtc());
        }
    }
    Screenshot* add(const QString& name) {
        m_store.add(url(name), QDateTime::currentDateTimeUtc());
        return m_store.screenshot(url(name));
    }
    QStringList names() const {
        QStringList names;
        for (const Screenshot* item : m_store.items()) {
            names.append(item->fileName());
        }
        return names;
    }
    // Lets every thumbnail sequence run through the waits it asks for, until the screenshot
    // has its thumbnail or has given up.
    void finishThumbnail(const Screenshot* screenshot) {
        while (screenshot->thumbnail().isNull() && !screenshot->thumbnailFailed()) {
            ASSERT_TRUE(QTest::qWaitFor([&] {
                return m_timers.hasPending() || !screenshot->thumbnail().isNull() ||
                       screenshot->thumbnailFailed();
            }));
            m_timers.fireNext();
        }
    }
    static void processDeferredDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir m_dir;
    DecodeBudget m_budget{DecodeBudget::processCapacity};
    test::ManualTimers m_timers;
    QThreadPool m_pool;
    std::vector<PendingText> m_texts;
    ScreenshotStore m_store;
};

TEST_F(ScreenshotStoreTest, EachAddedFileGoesToTheFrontWhateverItsDate) {
    QSignalSpy inserted(&m_store, &QAbstractItemModel::rowsInserted);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_store.add(url("new.png"), now);
    m_store.add(url("old.png"), now.addDays(-30));
    EXPECT_EQ(names(), (QStringList{"old.png", "new.png"}));
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted.at(1).at(1).toInt(), 0);

    const QModelIndex front = m_store.index(0);
    EXPECT_EQ(front.data(ScreenshotStore::UrlRole).toUrl(), url("old.png"));
    EXPECT_EQ(front.data(ScreenshotStore::CreatedAtRole).toDateTime(), now.addDays(-30));
    EXPECT_TRUE(front.data(ScreenshotStore::ThumbnailRole).value<QImage>().isNull());
    EXPECT_FALSE(front.data(ScreenshotStore::ThumbnailFailedRole).toBool());
    EXPECT_TRUE(front.data(ScreenshotStore::OcrTextRole).toString().isEmpty());
    EXPECT_NE(front.data(ScreenshotStore::IdRole).toUuid(),
              m_store.index(1).data(ScreenshotStore::IdRole).toUuid());
}

TEST_F(ScreenshotStoreTest, AKnownUrlIsIgnoredAndStartsNoWork) {
    addNames({"a.png"});
    QSignalSpy inserted(&m_store, &QAbstractItemModel::rowsInserted);
    m_store.add(url("a.png"), QDateTime::currentDateTimeUtc().addSecs(5));
    m_store.add(QUrl("https://example.com/a.png"), QDateTime());
    m_store.add(QUrl(), QDateTime());
    EXPECT_EQ(m_store.count(), 1);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(m_texts.size(), 1u);
    m_pool.waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_timers.started().size(), 1u);  // one sequence, parked at its first wait
}

TEST_F(ScreenshotStoreTest, TheLimitTrimsTheEarliestOnlyWhenAdding) {
    m_store.setHistoryLimit(3);
    addNames({"1.png", "2.png", "3.png"});
    QSignalSpy removed(&m_store, &QAbstractItemModel::rowsRemoved);
    addNames({"4.png"});
    EXPECT_EQ(names(), (QStringList{"4.png", "3.png", "2.png"}));
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 3);

    m_store.setHistoryLimit(1);
    EXPECT_EQ(m_store.count(), 3);  // a changed limit waits for the next addition
    addNames({"5.png"});
    EXPECT_EQ(names(), QStringList{"5.png"});

    m_store.setHistoryLimit(10);
    EXPECT_EQ(m_store.count(), 1);  // nothing comes back by itself
    EXPECT_FALSE(m_store.screenshot(url("1.png")));

    // A negative limit from a hand-edited file keeps nothing rather than breaking the list.
    m_store.setHistoryLimit(-1);
    addNames({"6.png"});
    EXPECT_EQ(m_store.count(), 0);
}

TEST_F(ScreenshotStoreTest, RemovingSignalsEachRunFromTheBackKeepsTheOrderAndClearingEmpties) {
    addNames({"a.png", "b.png", "c.png", "d.png", "e.png", "f.png"});
    QPointer<Screenshot> gone = m_store.screenshot(url("d.png"));
    QSignalSpy removed(&m_store, &QAbstractItemModel::rowsRemoved);

    m_store.remove({url("x.png")});
    EXPECT_EQ(removed.count(), 0);

    m_store.remove({url("b.png"), url("x.png"), url("d.png"), url("f.png"), url("c.png")});
    EXPECT_EQ(names(), (QStringList{"e.png", "a.png"}));
    ASSERT_EQ(removed.count(), 2);              // d, c and b were neighbours: one run
    EXPECT_EQ(removed.at(0).at(1).toInt(), 2);  // from the back, so the rows stay true
    EXPECT_EQ(removed.at(0).at(2).toInt(), 4);
    EXPECT_EQ(removed.at(1).at(1).toInt(), 0);
    EXPECT_EQ(removed.at(1).at(2).toInt(), 0);

    ASSERT_TRUE(gone);  // still readable by whoever handles the removal right now
    processDeferredDeletes();
    EXPECT_FALSE(gone);

    removed.clear();
    m_store.clear();
    EXPECT_EQ(m_store.count(), 0);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 1);
    m_store.clear();
    EXPECT_EQ(removed.count(), 1);
}

TEST_F(ScreenshotStoreTest, TheThumbnailReachesTheModelAsDataChanged) {
    ASSERT_TRUE(test::writeScreenshot(path("shot one.png"), {1280, 800}, "png"));
    addNames({"other.png"});
    m_store.add(url("shot one.png"), QDateTime::currentDateTimeUtc());
    QSignalSpy changed(&m_store, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(changed.at(0).at(0).toModelIndex().row(), 0);
    EXPECT_TRUE(changed.at(0).at(2).value<QList<int>>().contains(ScreenshotStore::ThumbnailRole));
    EXPECT_EQ(m_store.index(0).data(ScreenshotStore::ThumbnailRole).value<QImage>().size(),
              QSize(320, 200));
    EXPECT_TRUE(m_timers.started().size() == 1u);  // only the missing file waits
}

TEST_F(ScreenshotStoreTest, TextArrivesForItsRowAndIsDroppedOnceTrimmed) {
    m_store.setHistoryLimit(1);
    addNames({"a.png"});
    QSignalSpy changed(&m_store, &QAbstractItemModel::dataChanged);
    m_texts.at(0).completion("invoice\ntotal");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(m_store.index(0).data(ScreenshotStore::OcrTextRole).toString(), "invoice\ntotal");

    m_store.add(url("b.png"), QDateTime::currentDateTimeUtc(), Screenshot::Arrival::captured);
    EXPECT_EQ(m_texts.at(0).job.urgency, OCRService::Urgency::seed);
    EXPECT_EQ(m_texts.at(1).job.urgency, OCRService::Urgency::live);
    EXPECT_FALSE(m_texts.at(0).job.wanted());  // a was trimmed: its work is dropped
    EXPECT_TRUE(m_texts.at(1).job.wanted());
    changed.clear();
    m_texts.at(1).completion("late");  // before b's own: order is not promised
    EXPECT_EQ(m_store.index(0).data(ScreenshotStore::OcrTextRole).toString(), "late");
    addNames({"c.png"});
    changed.clear();
    m_texts.at(1).completion("again");  // b is trimmed but not yet deleted
    processDeferredDeletes();
    m_texts.at(1).completion("after");  // b is gone
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(names(), QStringList{"c.png"});
    EXPECT_TRUE(m_store.index(0).data(ScreenshotStore::OcrTextRole).toString().isEmpty());
}

using ThumbnailRetryTest = ScreenshotStoreTest;

TEST_F(ThumbnailRetryTest, AFileThatNeverDecodesGivesUpAfterFiveAttemptsWithOneLine) {
    ASSERT_TRUE(test::put(path("bad.png"), QByteArray(2000, 'x')));
    test::LogTail log;
    Screenshot* shot = add("bad.png");
    QSignalSpy changed(&m_store, &QAbstractItemModel::dataChanged);
    finishThumbnail(shot);
    EXPECT_EQ(m_timers.started(), (std::vector{250ms, 750ms, 2000ms, 5000ms}));
    EXPECT_TRUE(shot->thumbnailFailed());
    EXPECT_TRUE(shot->thumbnail().isNull());
    EXPECT_EQ(log.text().count("thumbnail: gave up on bad.png: not image data, unchanged since "
                               "the attempt before\n"),
              1);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_TRUE(
        changed.at(0).at(2).value<QList<int>>().contains(ScreenshotStore::ThumbnailFailedRole));
    EXPECT_TRUE(m_store.index(0).data(ScreenshotStore::ThumbnailFailedRole).toBool());
}

TEST_F(ThumbnailRetryTest, AFileDeletedRightAfterAddingGivesUpAfterTheFirstWait) {
    ASSERT_TRUE(test::put(path("two\nlines.png"), QByteArray()));
    test::LogTail log;
    Screenshot* shot = add("two\nlines.png");
    ASSERT_TRUE(QFile::remove(path("two\nlines.png")));
    finishThumbnail(shot);
    EXPECT_EQ(m_timers.started(), std::vector{250ms});
    EXPECT_TRUE(shot->thumbnailFailed());
    // The line break in the name does not split the line.
    EXPECT_EQ(log.text().count("thumbnail: gave up on two\\nlines.png: the file is gone\n"), 1);
}

TEST_F(ThumbnailRetryTest, AFileStillGrowingAfterTheWaitsIsWaitedForUntilItIsWhole) {
    ASSERT_TRUE(test::writeScreenshot(path("whole.png"), {1280, 800}, "png"));
    const QByteArray whole = test::contents(path("whole.png"));
    ASSERT_TRUE(test::put(path("slow.png"), whole.left(whole.size() / 8)));
    Screenshot* shot = add("slow.png");
    for (int waits = 1; waits <= 7; ++waits) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_timers.started().size() == size_t(waits); }))
            << "wait " << waits;
        const QByteArray written = waits < 7 ? whole.left(whole.size() * (waits + 1) / 8) : whole;
        ASSERT_TRUE(test::put(path("slow.png"), written));
        m_timers.fireNext();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shot->thumbnail().isNull(); }));
    EXPECT_EQ(m_timers.started(),
              (std::vector{250ms, 750ms, 2000ms, 5000ms, 5000ms, 5000ms, 5000ms}));
    EXPECT_FALSE(shot->thumbnailFailed());
}

TEST_F(ThumbnailRetryTest, ChangedContentsAreMadeAgainInPlaceAndStaleResultsDropped) {
    ASSERT_TRUE(test::writeScreenshot(path("shot.png"), {1280, 800}, "png"));
    Screenshot* shot = add("shot.png");
    finishThumbnail(shot);
    ASSERT_EQ(shot->thumbnail().size(), QSize(320, 200));
    ASSERT_EQ(m_texts.size(), 1u);

    ASSERT_TRUE(test::writeScreenshot(path("shot.png"), {800, 800}, "png"));
    QSignalSpy inserted(&m_store, &QAbstractItemModel::rowsInserted);
    m_store.refresh({url("shot.png"), url("elsewhere.png")});
    EXPECT_EQ(shot->thumbnail().size(), QSize(320, 200));  // the old one, until the new arrives
    ASSERT_TRUE(QTest::qWaitFor([&] { return shot->thumbnail().size() == QSize(320, 320); }));
    ASSERT_EQ(m_texts.size(), 2u);
    EXPECT_FALSE(m_texts.at(0).job.wanted());
    m_texts.at(0).completion("old words");  // read from the old contents
    EXPECT_TRUE(shot->ocrText().isEmpty());
    m_texts.at(1).completion("new words");
    EXPECT_EQ(shot->ocrText(), "new words");
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(m_store.count(), 1);
}

TEST_F(ThumbnailRetryTest, AForgottenScreenshotEndsItsSequenceQuietly) {
    ASSERT_TRUE(test::put(path("bad.png"), QByteArray(100, 'x')));
    test::LogTail log;
    const QPointer<Screenshot> shot = add("bad.png");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_timers.hasPending(); }));
    m_store.remove({url("bad.png")});
    m_timers.fireNext();  // the next attempt still runs: the record is deleted later
    processDeferredDeletes();
    EXPECT_FALSE(shot);
    m_pool.waitForDone();
    QCoreApplication::processEvents();
    while (m_timers.hasPending()) {
        m_timers.fireNext();
    }
    EXPECT_EQ(log.text().count("thumbnail: gave up on bad.png"), 0);
}

}  // namespace
