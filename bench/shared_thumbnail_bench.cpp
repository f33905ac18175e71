// Opening the shelf over COUNT screenshots whose thumbnails wait in the desktop's shared
// thumbnail folder, against the same shelf making them from the screenshots, in the same run:
//   shared_thumbnail_bench [COUNT, default 200]
// The first opening finds the folder empty, decodes every screenshot and fills it; the second,
// a new shelf as at the next launch, should decode none. Decodes are what the decode budget
// admitted, so any read of a screenshot's pixels counts. 1080p screenshots, PNG and JPEG
// alternating, cells of a three-column shelf on a screen at scale 2. A folder of its own stands
// in for the user's thumbnail folder, which is never touched.

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThreadPool>
#include <algorithm>
#include <cstdio>

#include "ScreenshotCorpus.h"
#include "library/decoding/DecodeBudget.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "library/store/SharedThumbnails.h"
#include "platform/TimerSource.h"

namespace {

using namespace framlet;

struct Opening {
    quint64 decodes = 0;
    double seconds = 0;
};

// A new shelf over the files, until every thumbnail is there (or given up on).
Opening open(const QStringList& files, const SharedThumbnails& shared, DecodeBudget& budget) {
    QThreadPool pool;
    const quint64 before = budget.decodes();
    QElapsedTimer clock;
    clock.start();
    ScreenshotStore store([](OCRService::Job, OCRService::Completion) {}, budget,
                          TimerSource::realTime(), pool, &shared);
    store.setThumbnailPixels(2 * 120);  // a 120 px cell at scale 2
    for (const QString& file : files) {
        store.add(QUrl::fromLocalFile(file), QDateTime::currentDateTimeUtc());
    }
    const auto settled = [&] {
        return std::all_of(store.items().cbegin(), store.items().cend(), [](const Screenshot* s) {
            return !s->thumbnail().isNull() || s->thumbnailFailed();
        });
    };
    while (!settled()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);  // woken by each result
    }
    const Opening opening{budget.decodes() - before, double(clock.nsecsElapsed()) / 1e9};
    pool.waitForDone();
    return opening;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    QTemporaryDir folder;
    const QString shots = folder.filePath(QStringLiteral("shots"));
    QDir().mkpath(shots);
    std::printf("drawing %d screenshots...\n", count);
    std::fflush(stdout);
    QStringList files;
    for (const auto& image : bench::CorpusGenerator::generateScreens(shots, count, 1)) {
        files.append(image.imagePath);
    }
    const SharedThumbnails shared(folder.filePath(QStringLiteral("thumbnails")),
                                  QStringLiteral("framlet-bench"));
    DecodeBudget budget(DecodeBudget::processCapacity);
    const Opening empty = open(files, shared, budget);
    const Opening cached = open(files, shared, budget);
    std::printf("%-28s %8s %10s\n", "opening", "decodes", "seconds");
    std::printf("%-28s %8llu %10.3f\n", "empty thumbnail folder", (unsigned long long)empty.decodes,
                empty.seconds);
    std::printf("%-28s %8llu %10.3f\n", "cached thumbnails", (unsigned long long)cached.decodes,
                cached.seconds);
    std::printf("thumbnails=%d full_decodes=%llu ratio=%.3f\n", int(files.size()),
                (unsigned long long)cached.decodes, cached.seconds / std::max(empty.seconds, 1e-9));
    return cached.decodes == 0 ? 0 : 1;
}
