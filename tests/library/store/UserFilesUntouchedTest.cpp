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

// Seeded as at a launch, every file run to its thumbnail or give-up and its text.
TEST(UserFiles, ThumbnailsAndRecognitionLeaveEveryFileAsItWas) {
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
    const QByteArray before = fingerprint(dir);

    test::ManualTimers scheduler;
    DecodeBudget budget(DecodeBudget::processCapacity);
    const SharedThumbnails shared = SharedThumbnails::forThisUser();  // written to as it goes
    QThreadPool thumbnailPool;  // after the budget: waits for the decodes holding it
    OCRService ocr(scheduler, budget);
    int settled = 0;  // thumbnails or give-ups, plus texts
    ScreenshotStore store(
        [&](OCRService::Job job, OCRService::Completion done) { ocr.recognizeText(job, done); },
        budget, scheduler, thumbnailPool, &shared);
    for (const QFileInfo& file : QDir(dir).entryInfoList(QDir::Files)) {
        const QUrl url = QUrl::fromLocalFile(file.filePath());
        store.add(url, file.lastModified());
        Screenshot* shot = store.screenshot(url);
        QObject::connect(shot, &Screenshot::thumbnailLoaded, [&] { ++settled; });
        QObject::connect(shot, &Screenshot::thumbnailGaveUp, [&] { ++settled; });
        QObject::connect(shot, &Screenshot::textRecognized, [&] { ++settled; });
    }
    // Waits end at once, so corrupt files run through their whole retry sequence quickly.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            scheduler.advance(std::chrono::seconds(10));
            return settled == 12;
        },
        60000))
        << settled << " results";
    EXPECT_EQ(fingerprint(dir), before);
    EXPECT_TRUE(store.screenshot(QUrl::fromLocalFile(dir + "/empty.png"))->thumbnailFailed());
}

}  // namespace
