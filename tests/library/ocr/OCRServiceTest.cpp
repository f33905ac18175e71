#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <deque>

#include "FileBytes.h"
#include "LogTail.h"
#include "ManualTimers.h"
#include "library/decoding/DecodeBudget.h"
#include "library/decoding/RetryDelays.h"
#include "library/ocr/OCRService.h"
#include "library/textcache/SqliteTextCache.h"
#include "platform/TimerSource.h"

using namespace framlet;
using namespace std::chrono_literals;

namespace {

QImage textImage(const QStringList& lines) {
    QImage image(900, 160 + 140 * int(lines.size()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font("DejaVu Sans");
    font.setPixelSize(72);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i) {
        painter.drawText(80, 160 + 140 * i, lines[i]);
    }
    return image;
}

QString save(const QTemporaryDir& dir, const QString& name, const QImage& image) {
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path));
    return path;
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    EXPECT_TRUE(test::put(dir.filePath(name), bytes));
    return dir.filePath(name);
}

// Every completion of one request, and the thread it ran on.
struct Outcome {
    QStringList texts;
    bool requestReturned = false;
    bool calledInline = false;
    bool offMainThread = false;
};

std::shared_ptr<Outcome> recognize(OCRService& service, const QString& path) {
    auto outcome = std::make_shared<Outcome>();
    service.recognizeText(path, [outcome](const QString& text) {
        outcome->calledInline = outcome->calledInline || !outcome->requestReturned;
        outcome->offMainThread =
            outcome->offMainThread || QThread::currentThread() != qApp->thread();
        outcome->texts.append(text);
    });
    outcome->requestReturned = true;
    return outcome;
}

bool waitFor(const std::shared_ptr<Outcome>& outcome) {
    return QTest::qWaitFor([&] { return !outcome->texts.isEmpty(); }, 60000);
}

// Waits for a failed attempt to ask for its next one.
bool waitForRetry(const test::ManualTimers& scheduler) {
    return QTest::qWaitFor([&] { return scheduler.hasPending(); }, 20000);
}

// Gives a stray second completion or retry the time to show up.
void letQueuedCallsRun() {
    QTest::qWait(300);
}

OCRService::Configuration testConfiguration() {
    OCRService::Configuration configuration = OCRService::Configuration::defaults();
    configuration.engine.languages = "eng";
    configuration.maxConcurrency = 2;
    return configuration;
}

class OCRServiceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    test::ManualTimers scheduler;
    DecodeBudget budget{DecodeBudget::processCapacity};
    OCRService service{scheduler, budget, testConfiguration()};
};

TEST_F(OCRServiceTest, ARememberedTextIsNotReadAgainUntilTheFileChanges) {
    SqliteTextCache cache(dir.filePath("texts.sqlite"));
    OCRService cached(scheduler, budget, testConfiguration(), &cache);
    const QString path = save(dir, "shot.png", textImage({"Invoice"}));
    ASSERT_TRUE(waitFor(recognize(cached, path)));
    // A planted text proves the second answer came without reading the image.
    const TextKey key = cached.cacheKey(path, FileStamp::of(path));
    ASSERT_EQ(cache.text(key), "invoice");
    cache.remember(key, "planted");
    auto again = recognize(cached, path);
    ASSERT_TRUE(waitFor(again));
    EXPECT_EQ(again->texts, QStringList{"planted"});

    QTest::qWait(20);  // a later modification time, even on coarse clocks
    save(dir, "shot.png", textImage({"Receipt"}));
    auto changed = recognize(cached, path);
    ASSERT_TRUE(waitFor(changed));
    EXPECT_EQ(changed->texts, QStringList{"receipt"});
    EXPECT_EQ(cache.text(cached.cacheKey(path, FileStamp::of(path))), "receipt");
}

// A file name is no format string; transparent pixels must not read as a black page either.
TEST_F(OCRServiceTest, EachRequestLogsItsStartAndEndAndNoTextIsAnEmptyTextWithoutRetrying) {
    QImage blank(1280, 720, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    const std::pair<QString, QString> cases[]{
        {save(dir, "text 100%2.png", textImage({"Total"})), "total"},
        {save(dir, "blank.png", blank), ""},
        {dir.filePath("gone.png"), ""}};
    test::LogTail log;
    for (const auto& [path, text] : cases) {
        SCOPED_TRACE(path.toStdString());
        const auto outcome = recognize(service, path);
        ASSERT_TRUE(waitFor(outcome));
        letQueuedCallsRun();
        EXPECT_EQ(outcome->texts, QStringList{text});
    }
    EXPECT_TRUE(scheduler.started().empty());
    QStringList lines;
    for (const QString& line : log.lines()) {
        lines.append(line.section(' ', 3));  // without the timestamp
    }
    const QStringList expected{
        "ocr: start text 100%2.png", "ocr: done text 100%2.png -> 5 chars",
        "ocr: start blank.png",      "ocr: done blank.png -> 0 chars",
        "ocr: start gone.png",       "ocr: skipped gone.png, the file is gone"};
    EXPECT_EQ(lines, expected);
}

// Lines come back in order, joined by line feeds and lower-cased.
TEST_F(OCRServiceTest, ManyRequestsEachCompleteOnceOnTheMainThread) {
    // More requests than workers, so every worker reuses its engine; bad files mixed in.
    const QString text = save(dir, "Invoice total.png", textImage({"Invoice", "Total"}));
    const QString unsupported = write(dir, "notes.txt", "Receipt");
    std::vector<std::shared_ptr<Outcome>> outcomes;
    for (int i = 0; i < 6; ++i) {
        outcomes.push_back(recognize(service, i % 3 == 2 ? unsupported : text));
    }
    for (const auto& outcome : outcomes) {
        ASSERT_TRUE(waitFor(outcome));
    }
    letQueuedCallsRun();
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(outcomes[i]->texts, QStringList{i % 3 == 2 ? "" : "invoice\ntotal"});
        EXPECT_FALSE(outcomes[i]->offMainThread);
        EXPECT_FALSE(outcomes[i]->calledInline);
    }
}

TEST_F(OCRServiceTest, AnUndecodableFileIsRetriedWithTheThumbnailPatienceThenGivesUpOnce) {
    for (const QByteArray& bytes : {QByteArray(), QByteArray("not really a png")}) {
        const size_t before = scheduler.started().size();
        const auto outcome = recognize(service, write(dir, "broken.png", bytes));
        while (outcome->texts.isEmpty()) {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !outcome->texts.isEmpty() || scheduler.hasPending(); }, 20000));
            if (scheduler.hasPending()) {
                scheduler.fireNext();
            }
            ASSERT_LE(scheduler.started().size() - before, kRetryDelays.size());
        }
        letQueuedCallsRun();
        EXPECT_EQ(outcome->texts, QStringList{QString()}) << bytes.constData();
        EXPECT_EQ(
            std::vector(scheduler.started().begin() + long(before), scheduler.started().end()),
            std::vector(kRetryDelays.begin(), kRetryDelays.end()));
        EXPECT_FALSE(scheduler.hasPending());
    }
}

// Still half-written at the second attempt, then finished or deleted before the third.
TEST_F(OCRServiceTest, AFileFinishedOrDeletedDuringTheRetriesEndsAtTheNextCheck) {
    const QByteArray whole = test::contents(save(dir, "complete.png", textImage({"Invoice"})));
    for (const QString expected : {"invoice", ""}) {
        SCOPED_TRACE(expected.isEmpty() ? "deleted" : "finished");
        const size_t before = scheduler.started().size();
        const QString path = write(dir, "shot being written.png", whole.left(whole.size() / 2));
        const auto outcome = recognize(service, path);
        ASSERT_TRUE(waitForRetry(scheduler));
        scheduler.fireNext();
        ASSERT_TRUE(waitForRetry(scheduler));
        expected.isEmpty() ? QFile::remove(path) : test::put(path, whole);
        scheduler.fireNext();
        ASSERT_TRUE(waitFor(outcome));  // no further attempt
        letQueuedCallsRun();
        EXPECT_EQ(outcome->texts, QStringList{expected});
        EXPECT_EQ(scheduler.started().size() - before, 2u);
        EXPECT_FALSE(scheduler.hasPending());
    }
}

TEST_F(OCRServiceTest, AnEngineThatCannotStartGivesAnEmptyText) {
    OCRService::Configuration configuration = testConfiguration();
    configuration.engine.languages = "no-such-language";
    OCRService broken(scheduler, budget, configuration);
    const auto outcome = recognize(broken, save(dir, "text.png", textImage({"Invoice"})));
    ASSERT_TRUE(waitFor(outcome));
    EXPECT_EQ(outcome->texts, QStringList{QString()});
}

TEST_F(OCRServiceTest, ALiveCaptureOvertakesTheSeedsAndForgottenWorkNeverStarts) {
    const QString seed = save(dir, "seed.png", textImage({"Receipt", "Total"}));
    const QString capture = save(dir, "capture.png", textImage({"Invoice"}));
    std::vector<int> order;  // -1 for the capture, else the seed's number
    for (int i = 0; i < 20; ++i) {
        service.recognizeText(seed, [&order, i](const QString& text) {
            EXPECT_EQ(text, "receipt\ntotal");
            order.push_back(i);
        });
    }
    bool forgotten = false;
    int forgottenRuns = 0;
    service.recognizeText({seed, OCRService::Urgency::seed, [&forgotten] { return !forgotten; }},
                          [&forgottenRuns](const QString&) { ++forgottenRuns; });
    forgotten = true;  // its screenshot left the shelf while it waited
    service.recognizeText({capture, OCRService::Urgency::live, {}}, [&order](const QString& text) {
        EXPECT_EQ(text, "invoice");
        order.push_back(-1);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 21; }, 120000));
    letQueuedCallsRun();
    EXPECT_EQ(order.size(), 21u);
    EXPECT_EQ(forgottenRuns, 0);
    // Only seeds a worker had finished before the capture was asked for may come first.
    const auto capturePosition = std::find(order.begin(), order.end(), -1) - order.begin();
    EXPECT_LE(capturePosition, testConfiguration().maxConcurrency);
    // Seeds the capture interrupted resume in their turn, not behind the seeds asked later (they
    // would finish last). A worker starting its engine finishes a few places late, so only a place
    // far from the one asked counts.
    std::erase(order, -1);
    for (int place = 0; place < int(order.size()); ++place) {
        EXPECT_LE(std::abs(order[place] - place), 12)
            << "seed " << order[place] << " finished in place " << place;
    }
}

TEST(OCRServiceConcurrency, OneWorkerPerTwoCoresBetweenTwoAndFour) {
    const std::vector<std::pair<int, int>> expected{{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2},
                                                    {5, 2}, {6, 3}, {7, 3}, {8, 4}, {64, 4}};
    for (const auto& [cores, workers] : expected) {
        EXPECT_EQ(OCRService::concurrencyForCores(cores), workers) << cores << " cores";
    }
}

}  // namespace
