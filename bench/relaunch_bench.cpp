// What a launch costs once the screenshots' text is remembered: the shelf read twice over the
// same files, the first time with an empty text cache and the second with the one the first
// left, in the same run.
//
//   relaunch_bench [N]   (default 60, the shelf's size; half 1080p, half 4K, PNG and JPEG)
//
// Each launch builds the store, the recogniser and the cache afresh, as the program does, puts
// the N files on the shelf as seeds and waits until every thumbnail and text has arrived. It
// counts the processor time the process spent (user and system) and the time until every text
// is searchable. A last launch asks the recogniser alone, without thumbnails. Ends with
// `first_cpu_s=X second_cpu_s=Y ratio=R searchable_s=S`.

#include <sys/resource.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "ScreenshotCorpus.h"
#include "library/decoding/DecodeBudget.h"
#include "library/ocr/OCRService.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "library/textcache/SqliteTextCache.h"
#include "platform/MemoryPolicy.h"
#include "platform/TimerSource.h"

using namespace framlet;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Condition>
void waitFor(Condition condition) {
    const QDeadlineTimer deadline(60 * 60 * 1000);
    while (!condition() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

struct Launch {
    double cpu = 0;
    double searchable = 0;
};

Launch launch(const QString& cacheFile, const QStringList& files, bool thumbnails) {
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Launch result;
    {
        DecodeBudget budget(DecodeBudget::processCapacity);
        SqliteTextCache cache(cacheFile);
        OCRService ocr(TimerSource::realTime(), budget, &cache);
        int texts = 0;
        if (thumbnails) {
            QThreadPool pool;
            ScreenshotStore store(ScreenshotStore::recognizerFor(ocr), budget,
                                  TimerSource::realTime(), pool);
            for (const QString& file : files) {
                store.add(QUrl::fromLocalFile(file), QFileInfo(file).lastModified());
                QObject::connect(store.at(0), &Screenshot::textRecognized, [&] { ++texts; });
            }
            waitFor([&] { return texts == files.size(); });
            result.searchable = wall.nsecsElapsed() / 1e9;
            waitFor([&] {
                return std::all_of(store.items().cbegin(), store.items().cend(), [](auto* shot) {
                    return !shot->thumbnail().isNull() || shot->thumbnailFailed();
                });
            });
        } else {
            for (const QString& file : files) {
                ocr.recognizeText(file, [&](const QString&) { ++texts; });
            }
            waitFor([&] { return texts == files.size(); });
            result.searchable = wall.nsecsElapsed() / 1e9;
        }
    }
    result.cpu = cpuSeconds() - cpuBefore;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    MemoryPolicy::returnLargeBuffersToTheSystem();
    QGuiApplication application(argc, argv);
    const int count = argc > 1 ? std::max(2, QString::fromLocal8Bit(argv[1]).toInt()) : 60;
    QTemporaryDir work;
    bench::CorpusGenerator::generateScreens(work.path(), count / 2, 1, 7000);
    bench::CorpusGenerator::generateScreens(work.path(), count - count / 2, 2, 8000);
    QStringList files;
    for (const QString& name : QDir(work.path()).entryList({"*.png", "*.jpg"}, QDir::Files)) {
        files.append(work.filePath(name));
    }
    const QString cacheFile = work.filePath(QStringLiteral("cache/texts.sqlite"));
    const Launch first = launch(cacheFile, files, true);
    const Launch second = launch(cacheFile, files, true);
    const Launch textOnly = launch(cacheFile, files, false);
    std::printf("screenshots=%lld first: cpu_s=%.2f searchable_s=%.2f\n", qlonglong(files.size()),
                first.cpu, first.searchable);
    std::printf("second: cpu_s=%.2f searchable_s=%.3f\n", second.cpu, second.searchable);
    std::printf("second, text alone: cpu_s=%.3f searchable_s=%.3f text_ratio=%.4f\n", textOnly.cpu,
                textOnly.searchable, first.cpu > 0 ? textOnly.cpu / first.cpu : 0);
    std::printf("first_cpu_s=%.2f second_cpu_s=%.2f ratio=%.4f searchable_s=%.3f\n", first.cpu,
                second.cpu, first.cpu > 0 ? second.cpu / first.cpu : 0.0, second.searchable);
    return 0;
}
