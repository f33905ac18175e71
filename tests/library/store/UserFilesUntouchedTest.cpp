#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "ManualTimers.h"
#include "TestImages.h"
#include "library/decoding/DecodeBudget.h"
#include "library/ocr/OCRService.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "library/store/SharedThumbnails.h"
#include "library/watcher/ScreenshotWatcher.h"
#include "platform/TimerSource.h"

using namespace framlet;

namespace {

// Every file's name, bytes, size, mode and modification time: what "unchanged" means to a user.
QByteArray fingerprint(const QString& folder) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        struct stat status {};
        ::stat(QFile::encodeName(entry.filePath()).constData(), &status);
        hash.addData(QFile::encodeName(entry.fileName()));
        hash.addData(test::contents(entry.filePath()));
        hash.addData(QByteArray::number(qint64(status.st_size)) + ' ' +
                     QByteArray::number(status.st_mode) + ' ' +
                     QByteArray::number(qint64(status.st_mtim.tv_sec)) + '.' +
                     QByteArray::number(qint64(status.st_mtim.tv_nsec)));
    }
    return hash.result();
}

TEST(UserFiles, SeedingChangesAndRecognitionLeaveEveryFileAsItWas) {
    QTemporaryDir folder;
    const QString dir = folder.path();
    ASSERT_TRUE(test::writeScreenshot(dir + "/plain.png", {640, 400}, "png"));
    ASSERT_TRUE(test::writeScreenshot(dir + "/with space.jpg", {800, 500}, "jpeg"));
    ASSERT_TRUE(test::writeScreenshot(dir + "/new\nline.png", {300, 200}, "png"));
    QByteArray truncated = test::contents(dir + "/plain.png");
    truncated.truncate(truncated.size() / 2);
    ASSERT_TRUE(test::put(dir + "/half-written.png", truncated));
    ASSERT_TRUE(test::put(dir + "/empty.png", {}));
    ASSERT_TRUE(test::put(dir + "/random.jpg", QByteArray(4096, '\x5a')));
    ASSERT_TRUE(test::put(dir + "/notes.txt", "not an image"));
    const QByteArray before = fingerprint(dir);

    test::ManualTimers scheduler;
    DecodeBudget budget(DecodeBudget::processCapacity);
    const SharedThumbnails shared = SharedThumbnails::forThisUser();  // written to as it goes
    QThreadPool thumbnailPool;  // after the budget: waits for the decodes holding it
    OCRService ocr(scheduler, budget);
    // Waits end at once, so corrupt files run through their whole retry sequence quickly.
    const auto waitsEnded = [&] {
        scheduler.advance(std::chrono::seconds(10));
        return true;
    };
    int settled = 0;  // thumbnails or give-ups, plus texts
    ScreenshotStore store(
        [&](OCRService::Job job, OCRService::Completion done) { ocr.recognizeText(job, done); },
        budget, scheduler, thumbnailPool, &shared);
    ScreenshotWatcher watcher({QUrl::fromLocalFile(dir)}, TimerSource::realTime());
    QObject::connect(&watcher, &ScreenshotWatcher::fileFound,
                     [&](const QUrl& url, const QDateTime& at, bool) {
                         store.add(url, at);
                         Screenshot* shot = store.screenshot(url);
                         QObject::connect(shot, &Screenshot::thumbnailLoaded, [&] { ++settled; });
                         QObject::connect(shot, &Screenshot::thumbnailGaveUp, [&] { ++settled; });
                         QObject::connect(shot, &Screenshot::textRecognized, [&] { ++settled; });
                     });
    QObject::connect(&watcher, &ScreenshotWatcher::filesRemoved,
                     [&](const QList<QUrl>& urls) { store.remove(urls); });
    watcher.start(60);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return waitsEnded() && store.count() == 6 && settled == 12; }, 60000))
        << store.count() << " screenshots, " << settled << " results";
    EXPECT_EQ(fingerprint(dir), before);

    // A burst of new files while the program watches: the program still writes nothing.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(
            test::writeScreenshot(dir + QStringLiteral("/burst %1.png").arg(i), {200, 120}, "png"));
    }
    QFile::remove(dir + "/random.jpg");
    const QByteArray afterBurst = fingerprint(dir);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return waitsEnded() && store.count() == 25 && settled == 52; }, 60000))
        << store.count() << " screenshots, " << settled << " results";
    EXPECT_EQ(fingerprint(dir), afterBurst);

    // Every file ended in a defined state.
    for (const Screenshot* shot : store.items()) {
        EXPECT_TRUE(!shot->thumbnail().isNull() || shot->thumbnailFailed())
            << shot->fileName().toStdString();
    }
    EXPECT_TRUE(store.screenshot(QUrl::fromLocalFile(dir + "/empty.png"))->thumbnailFailed());
}

}  // namespace
