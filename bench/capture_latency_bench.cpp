// How long a capture taken while the shelf is still seeding waits before its text is
// searchable, against one recognition of the same file alone, in the same run.
//
//   capture_latency_bench [N]   (default 50)
//
// Seeds N 1080p screenshots with text through the real watcher, store and recognition; once a
// quarter of them are read, renames one more file into the watched folder as a live capture and
// times it from the rename to its text arriving on the shelf. Then reads the same file on a
// warm recogniser with nothing else running. Ends with
// `capture_to_searchable_s=X alone_s=Y ratio=R`.

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "DelayScheduler.h"
#include "OCRService.h"
#include "Screenshot.h"
#include "ScreenshotCorpus.h"
#include "ScreenshotStore.h"
#include "ScreenshotWatcher.h"
#include "Settings.h"
#include "UserDefaults.h"

using namespace framlet;

namespace {

constexpr int kTimeoutMs = 30 * 60 * 1000;

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

// One recognition of the file on an idle recogniser whose workers are already warm: the best
// a capture could hope for.
QString aloneSeconds(const QString& warmUp, const QString& path, double& seconds) {
    OCRService service(DelayScheduler::realTime(), OCRService::Configuration::defaults());
    QString text;
    bool done = false;
    for (int i = 0; i < service.configuration().maxConcurrency; ++i) {
        service.recognizeText(warmUp, [&](const QString&) {});
    }
    service.recognizeText(path, [&](const QString&) { done = true; });  // no engine left cold
    waitFor([&] { return done; });
    done = false;
    QElapsedTimer timer;
    timer.start();
    service.recognizeText(path, [&](const QString& recognised) {
        seconds = timer.nsecsElapsed() / 1e9;
        text = recognised;
        done = true;
    });
    waitFor([&] { return done; });
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    const int seeds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 50;

    QTemporaryDir work;
    const QString watched = work.filePath(QStringLiteral("Pictures"));
    const QString staging = work.filePath(QStringLiteral("staging"));
    QDir().mkpath(watched);
    QDir().mkpath(staging);
    bench::CorpusGenerator::generateScreens(watched, seeds, 1);
    const QList<bench::CorpusImage> live =
        bench::CorpusGenerator::generateScreens(staging, 1, 1, 90000);
    for (const QString& name : QDir(watched).entryList({QStringLiteral("*.txt")})) {
        QFile::remove(QDir(watched).filePath(name));  // only images in the watched folder
    }
    const QString livePath = QDir(watched).filePath(QFileInfo(live[0].imagePath).fileName());

    UserDefaults defaults(work.filePath(QStringLiteral("defaults.json")));
    Settings settings(defaults);
    settings.setHistoryLimit(seeds + 10);
    OCRService service(DelayScheduler::realTime(), OCRService::Configuration::defaults());
    ScreenshotStore store(settings, [&](OCRService::Job job, OCRService::Completion done) {
        service.recognizeText(std::move(job), std::move(done));
    });

    int seedTexts = 0;
    QElapsedTimer sinceLanding;
    double captureSeconds = -1;
    double reportedSeconds = -1;  // landing to the watcher's report
    int seedsReadBefore = -1;
    const auto onNew = [&](const QUrl& url, const QDateTime& createdAt, bool isSeed) {
        if (!isSeed) {
            reportedSeconds = sinceLanding.nsecsElapsed() / 1e9;
        }
        store.add(url, createdAt,
                  isSeed ? Screenshot::Arrival::seeded : Screenshot::Arrival::captured);
        Screenshot* shot = store.screenshot(url);
        QObject::connect(shot, &Screenshot::textRecognized, shot, [&, isSeed] {
            if (!isSeed) {
                captureSeconds = sinceLanding.nsecsElapsed() / 1e9;
                seedsReadBefore = seedTexts;
            } else {
                ++seedTexts;
            }
        });
    };
    ScreenshotWatcher watcher({QUrl::fromLocalFile(watched)}, onNew);
    QElapsedTimer seeding;
    seeding.start();
    watcher.start(seeds);

    const int dropAfter = std::max(1, seeds / 4);
    waitFor([&] { return seedTexts >= dropAfter; });
    sinceLanding.start();
    QFile::rename(live[0].imagePath, livePath);
    waitFor([&] { return captureSeconds >= 0 && seedTexts >= seeds; });
    const double seedingSeconds = seeding.nsecsElapsed() / 1e9;
    const Screenshot* capture = store.screenshot(QUrl::fromLocalFile(livePath));
    const double captureRecall =
        capture ? bench::wordRecall(live[0].knownText, capture->ocrText()) : 0.0;
    watcher.stop();

    double alone = 0;
    const QString warmUp = store.at(store.count() - 1)->path();
    const QString aloneText = aloneSeconds(warmUp, livePath, alone);
    std::printf("seeds=%d seeding_s=%.2f dropped_after=%d seeds_read_before_capture=%d\n", seeds,
                seedingSeconds, dropAfter, seedsReadBefore);
    std::printf("capture reported_s=%.3f recall=%.3f alone recall=%.3f\n", reportedSeconds,
                captureRecall, bench::wordRecall(live[0].knownText, aloneText));
    std::printf("capture_to_searchable_s=%.3f alone_s=%.3f ratio=%.3f\n", captureSeconds, alone,
                alone > 0 ? captureSeconds / alone : 0.0);
    return captureSeconds >= 0 ? 0 : 1;
}
