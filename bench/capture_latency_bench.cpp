// How long a capture taken while the shelf is still seeding waits before its text is
// searchable, against one recognition of the same file alone, in the same run.
//
//   capture_latency_bench [N] [--older M]   (default 50, no older screenshots)
//
// Seeds N 1080p screenshots with text through the real watcher, store and recognition; once a
// quarter of them are read, renames one more file into the watched folder as a live capture and
// times it from the rename to its text arriving on the shelf; again at a half and at three
// quarters. Then reads the same files on a warm recogniser with nothing else running. Ends with
// the means over the captures: `capture_to_searchable_s=X alone_s=Y ratio=R`.
//
// With --older, M more 1080p screenshots beyond the shelf are read into the text cache in the
// background all along, as the program does (one idle-priority worker, paused while a capture
// is read). Once the captures are timed it is turned off, and the resident memory settled a
// few seconds after is printed (`settled_rss_mb=`), to compare with a run without --older.

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "ScreenshotCorpus.h"
#include "library/decoding/DecodeBudget.h"
#include "library/ocr/OCRService.h"
#include "library/ocr/OlderScreenshotReader.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "library/textcache/SqliteTextCache.h"
#include "library/watcher/ScreenshotWatcher.h"
#include "platform/MemoryPolicy.h"
#include "platform/TimerSource.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;

namespace {

constexpr int kTimeoutMs = 30 * 60 * 1000;
// A few captures, so that one arriving while both seeds are in a stretch Tesseract cannot
// interrupt does not decide the result alone.
constexpr int kCaptures = 3;

// Runs the event loop until the condition holds, looking every few milliseconds.
template <typename Condition>
bool waitFor(Condition condition) {
    const QDeadlineTimer deadline(kTimeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
        }
    }
    return 0;
}

double mean(const std::vector<double>& values) {
    return values.empty() ? 0.0
                          : std::accumulate(values.begin(), values.end(), 0.0) / values.size();
}

// Each file read on an idle recogniser whose workers are already warm, the quickest of three
// readings: the best a capture could hope for.
std::vector<double> aloneSeconds(const QString& warmUp, const QStringList& paths) {
    DecodeBudget budget(DecodeBudget::processCapacity);
    OCRService service(TimerSource::realTime(), budget, OCRService::Configuration::defaults());
    int pending = service.configuration().maxConcurrency;
    for (int i = 0; i < service.configuration().maxConcurrency; ++i) {
        service.recognizeText(warmUp, [&](const QString&) { --pending; });
    }
    waitFor([&] { return pending == 0; });
    std::vector<double> seconds;
    for (const QString& path : paths) {
        double fastest = 0;
        for (int attempt = 0; attempt < 3; ++attempt) {  // the quickest: other load only slows
            QElapsedTimer timer;
            timer.start();
            bool done = false;
            service.recognizeText(path, [&](const QString&) {
                const double elapsed = timer.nsecsElapsed() / 1e9;
                fastest = attempt == 0 ? elapsed : std::min(fastest, elapsed);
                done = true;
            });
            waitFor([&] { return done; });
        }
        seconds.push_back(fastest);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    MemoryPolicy::returnLargeBuffersToTheSystem();
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int seeds = argc > 1 && !arguments[1].startsWith(QLatin1Char('-'))
                          ? std::max(1, arguments[1].toInt())
                          : 50;
    const qsizetype olderAt = arguments.indexOf(QStringLiteral("--older"));
    const int olderCount = olderAt > 0 ? arguments.value(olderAt + 1).toInt() : 0;

    QTemporaryDir work;
    const QString watched = work.filePath(QStringLiteral("Pictures"));
    const QString staging = work.filePath(QStringLiteral("staging"));
    QDir().mkpath(watched);
    QDir().mkpath(staging);
    bench::CorpusGenerator::generateScreens(watched, seeds, 1);
    const QList<bench::CorpusImage> live =
        bench::CorpusGenerator::generateScreens(staging, kCaptures, 1, 90000);
    for (const QString& name : QDir(watched).entryList({QStringLiteral("*.txt")})) {
        QFile::remove(QDir(watched).filePath(name));  // only images in the watched folder
    }

    const QString olderFolder = work.filePath(QStringLiteral("older"));
    QDir().mkpath(olderFolder);
    QList<OlderScreenshotReader::File> olderFiles;
    for (const bench::CorpusImage& image :
         bench::CorpusGenerator::generateScreens(olderFolder, olderCount, 1, 200000)) {
        olderFiles.prepend({image.imagePath, FileStamp::of(image.imagePath)});
    }

    UserDefaults defaults(work.filePath(QStringLiteral("defaults.json")));
    Settings settings(defaults);
    settings.setHistoryLimit(seeds + kCaptures);
    DecodeBudget budget(DecodeBudget::processCapacity);
    SqliteTextCache cache(work.filePath(QStringLiteral("cache/texts.sqlite")));
    OCRService service(TimerSource::realTime(), budget, OCRService::Configuration::defaults(),
                       &cache);
    OlderScreenshotReader reader(cache, budget, service.configuration().engine);
    QObject::connect(&service, &OCRService::readingLiveChanged, &reader, [&](bool live) {
        reader.setPaused(OlderScreenshotReader::liveCapture, live);
    });
    reader.setFiles(olderFiles);
    QThreadPool thumbnailPool;
    ScreenshotStore store(ScreenshotStore::recognizerFor(service), budget, TimerSource::realTime(),
                          thumbnailPool);
    store.setHistoryLimit(settings.historyLimit());

    int seedTexts = 0;
    QElapsedTimer sinceLanding;
    std::vector<double> captureSeconds;
    std::vector<double> reportedSeconds;  // landing to the watcher's report
    QStringList seedsReadBefore;
    const auto onNew = [&](const QUrl& url, const QDateTime& createdAt, bool isSeed) {
        if (!isSeed) {
            reportedSeconds.push_back(sinceLanding.nsecsElapsed() / 1e9);
        }
        store.add(url, createdAt,
                  isSeed ? Screenshot::Arrival::seeded : Screenshot::Arrival::captured);
        Screenshot* shot = store.screenshot(url);
        QObject::connect(shot, &Screenshot::textRecognized, shot, [&, isSeed] {
            if (!isSeed) {
                captureSeconds.push_back(sinceLanding.nsecsElapsed() / 1e9);
                seedsReadBefore.append(QString::number(seedTexts));
            } else {
                ++seedTexts;
            }
        });
    };
    ScreenshotWatcher watcher({QUrl::fromLocalFile(watched)}, TimerSource::realTime());
    QObject::connect(&watcher, &ScreenshotWatcher::fileFound, &watcher, onNew);
    QElapsedTimer seeding;
    seeding.start();
    watcher.start(seeds);

    // One capture at a time, each while seeding still runs: after a quarter, a half and three
    // quarters of the seeds are read.
    QStringList capturePaths;
    double recallSum = 0;
    for (int i = 0; i < kCaptures; ++i) {
        const int dropAfter = std::max(1, seeds * (i + 1) / (kCaptures + 1));
        waitFor([&] { return seedTexts >= dropAfter; });
        capturePaths.append(QDir(watched).filePath(QFileInfo(live[i].imagePath).fileName()));
        sinceLanding.start();
        QFile::rename(live[i].imagePath, capturePaths.last());
        waitFor([&] { return int(captureSeconds.size()) > i; });
        const Screenshot* capture = store.screenshot(QUrl::fromLocalFile(capturePaths.last()));
        recallSum += capture ? bench::wordRecall(live[i].knownText, capture->ocrText()) : 0.0;
    }
    waitFor([&] { return seedTexts >= seeds; });
    const double seedingSeconds = seeding.nsecsElapsed() / 1e9;
    watcher.stop();
    const int olderRead = reader.done();
    reader.setPaused(OlderScreenshotReader::turnedOff, true);
    waitFor([&] { return !reader.reading(); });
    QElapsedTimer settling;
    settling.start();
    waitFor([&] { return settling.elapsed() > 3000; });
    const double settled = residentMegabytes();

    const std::vector<double> alone =
        aloneSeconds(store.at(store.count() - 1)->path(), capturePaths);
    std::printf("seeds=%d seeding_s=%.2f captures=%d seeds_read_before_each=%s\n", seeds,
                seedingSeconds, kCaptures, qPrintable(seedsReadBefore.join(',')));
    std::printf("capture recall=%.3f reported_s=%.3f\n", recallSum / kCaptures,
                mean(reportedSeconds));
    std::printf("older=%d read_meanwhile=%d settled_rss_mb=%.1f\n", olderCount, olderRead, settled);
    for (int i = 0; i < kCaptures; ++i) {
        std::printf("capture %d to_searchable_s=%.3f alone_s=%.3f\n", i + 1, captureSeconds[i],
                    alone[i]);
    }
    // Means over the same files on both sides: each capture is paired with its own reading alone.
    const double x = mean(captureSeconds);
    const double y = mean(alone);
    std::printf("capture_to_searchable_s=%.3f alone_s=%.3f ratio=%.3f\n", x, y,
                y > 0 ? x / y : 0.0);
    return 0;
}
