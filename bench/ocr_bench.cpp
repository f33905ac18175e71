// Text recognition throughput and word recall on screenshot-like images, against the tesseract
// command-line program run in the same process lifetime on the same files.
//
//   ocr_bench [--corpus DIR] [--baseline] [--psm N] [--upscale-up-to SIDE] [--openmp-unlimited]
//             [--workers N] [--rounds N] [--show-missing] [--write-corpus DIR]
//             [--no-recover] [--patch-height PX] [--raw-patches] [--patch-confidence N]
//             [--thresholding N] [--cover-confidence N] [--set NAME=VALUE]... [--keep-dark]
//             [--smoke]
//
// Without --corpus it draws its own: full screens of dense text, and application windows
// whose words stand alone (bench/SparseScreens.h). --smoke draws one screen only, to check in
// seconds that the program still runs.

#include <sys/resource.h>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <deque>

#include "ScreenshotCorpus.h"
#include "SparseScreens.h"
#include "library/decoding/DecodeBudget.h"
#include "library/ocr/OCRService.h"
#include "platform/TimerSource.h"

using namespace framlet;
using framlet::bench::CorpusImage;

namespace {

struct Totals {
    int images = 0;
    double recallSum = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;  // unlike wall time, barely moved by other work on the machine
};

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int threadsOfThisProcess() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

bool showMissing = false;

void printImage(const char* runner, const CorpusImage& image, double seconds, double recall,
                const QString& text) {
    std::printf("%-8s %-28s time_s=%.3f recall=%.3f\n", runner,
                qPrintable(QFileInfo(image.imagePath).fileName()), seconds, recall);
    if (showMissing) {
        const QSet<QString> missing =
            bench::wordsOf(image.knownText).subtract(bench::wordsOf(text));
        std::printf("    missing: %s\n",
                    qPrintable(QStringList(missing.begin(), missing.end()).join(' ')));
    }
    std::fflush(stdout);
}

// Keeps `width` jobs in flight and starts the next as each finishes, so that the time of every
// job is its own and the wall time is that of a queue of that width.
template <typename StartJob>
double runQueue(const QList<CorpusImage>& corpus, int width, StartJob startJob) {
    QEventLoop loop;
    QElapsedTimer wall;
    wall.start();
    std::deque<int> waiting;
    for (int i = 0; i < corpus.size(); ++i) {
        waiting.push_back(i);
    }
    int running = 0;
    std::function<void()> startNext = [&] {
        while (running < width && !waiting.empty()) {
            const int index = waiting.front();
            waiting.pop_front();
            ++running;
            startJob(index, [&] {
                --running;
                startNext();
                if (running == 0 && waiting.empty()) {
                    loop.quit();
                }
            });
        }
    };
    startNext();
    if (running > 0) {
        loop.exec();
    }
    return wall.nsecsElapsed() / 1e9;
}

Totals runService(const QList<CorpusImage>& corpus, const OCRService::Configuration& config,
                  int& peakThreads) {
    DecodeBudget budget(DecodeBudget::processCapacity);
    OCRService service(TimerSource::realTime(), budget, config);
    Totals totals;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    totals.wallSeconds = runQueue(corpus, config.maxConcurrency, [&](int index, auto finished) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        service.recognizeText(
            corpus[index].imagePath, [&, index, timer, finished](const QString& text) {
                peakThreads = std::max(peakThreads, threadsOfThisProcess());
                const double recall = bench::wordRecall(corpus[index].knownText, text);
                printImage("framlet", corpus[index], timer->nsecsElapsed() / 1e9, recall, text);
                totals.recallSum += recall;
                ++totals.images;
                finished();
            });
    });
    totals.cpuSeconds = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    return totals;
}

Totals runCommandLine(const QList<CorpusImage>& corpus) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    Totals totals;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    totals.wallSeconds = runQueue(corpus, 2, [&](int index, auto finished) {
        auto* process = new QProcess;
        auto timer = std::make_shared<QElapsedTimer>();
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(
            process, &QProcess::finished, process, [&, process, index, timer, finished] {
                const QString text = QString::fromUtf8(process->readAllStandardOutput());
                const double recall = bench::wordRecall(corpus[index].knownText, text);
                printImage("baseline", corpus[index], timer->nsecsElapsed() / 1e9, recall, text);
                totals.recallSum += recall;
                ++totals.images;
                process->deleteLater();
                finished();
            });
        timer->start();
        process->start(QStringLiteral("tesseract"),
                       {corpus[index].imagePath, QStringLiteral("stdout")});
    });
    totals.cpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    return totals;
}

void add(Totals& sum, const Totals& round) {
    sum.images += round.images;
    sum.recallSum += round.recallSum;
    sum.wallSeconds += round.wallSeconds;
    sum.cpuSeconds += round.cpuSeconds;
}

void printTotals(const char* label, const Totals& totals) {
    std::printf("%s images=%d recall=%.3f wall_s=%.2f\n", label, totals.images,
                totals.images ? totals.recallSum / totals.images : 0.0, totals.wallSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption corpusOption("corpus", "Images with their text in .txt files.", "dir");
    const QCommandLineOption baselineOption("baseline", "Also run the tesseract program.");
    const QCommandLineOption psmOption("psm", "Page segmentation mode.", "n");
    const QCommandLineOption upscaleOption("upscale-up-to", "Upscale images up to this side.",
                                           "px");
    const QCommandLineOption openmpOption("openmp-unlimited", "Leave OpenMP at its defaults.");
    const QCommandLineOption workersOption("workers", "Concurrent recognitions.", "n");
    const QCommandLineOption roundsOption("rounds", "Repeat the corpus, alternating sides.", "n",
                                          "1");
    const QCommandLineOption missingOption("show-missing", "List the known words not found.");
    const QCommandLineOption writeOption("write-corpus", "Only write the generated corpus.", "dir");
    const QCommandLineOption noRecoverOption("no-recover", "No second reading of uncovered ink.");
    const QCommandLineOption patchHeightOption("patch-height", "Enlarge patches towards this.",
                                               "px");
    const QCommandLineOption rawPatchesOption("raw-patches", "Patches keep their own colours.");
    const QCommandLineOption patchConfidenceOption("patch-confidence",
                                                   "Least confidence of a patch word.", "n");
    const QCommandLineOption coverOption("cover-confidence",
                                         "Reread first-pass words less sure than this.", "n");
    const QCommandLineOption keepDarkOption("keep-dark", "Do not invert dark images first.");
    const QCommandLineOption setOption("set", "A Tesseract variable, name=value.", "assignment");
    const QCommandLineOption thresholdingOption("thresholding", "0 Otsu, 2 Sauvola.", "n");
    const QCommandLineOption smokeOption("smoke", "Draw one screen instead of the whole corpus.");
    parser.addOptions({noRecoverOption, patchHeightOption, rawPatchesOption, patchConfidenceOption,
                       thresholdingOption, coverOption, setOption, keepDarkOption});
    parser.addOptions({corpusOption, baselineOption, psmOption, upscaleOption, openmpOption,
                       workersOption, missingOption, roundsOption, writeOption, smokeOption});
    parser.process(application);
    showMissing = parser.isSet(missingOption);

    if (parser.isSet(writeOption)) {
        bench::CorpusGenerator::generate(parser.value(writeOption));
        bench::SparseScreens::generate(parser.value(writeOption));
        return 0;
    }
    QTemporaryDir generated;
    if (parser.isSet(smokeOption)) {
        bench::CorpusGenerator::generateScreens(generated.path(), 1, 1);
    } else if (!parser.isSet(corpusOption)) {
        bench::CorpusGenerator::generate(generated.path());
        bench::SparseScreens::generate(generated.path());
    }
    const QList<CorpusImage> corpus = bench::loadCorpus(
        parser.isSet(corpusOption) ? parser.value(corpusOption) : generated.path());
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "no images with a .txt beside them\n");
        return 1;
    }

    OCRService::Configuration config = OCRService::Configuration::defaults();
    if (parser.isSet(psmOption)) {
        config.engine.pageSegmentationMode = parser.value(psmOption).toInt();
    }
    if (parser.isSet(upscaleOption)) {
        config.engine.upscaleUpToSide = parser.value(upscaleOption).toInt();
    }
    config.engine.singleThreadedOpenMP = !parser.isSet(openmpOption);
    config.engine.recoverUncoveredText = !parser.isSet(noRecoverOption);
    config.engine.normalisePatches = !parser.isSet(rawPatchesOption);
    if (parser.isSet(patchHeightOption)) {
        config.engine.patchTargetHeight = parser.value(patchHeightOption).toInt();
    }
    if (parser.isSet(patchConfidenceOption)) {
        config.engine.patchMinConfidence = parser.value(patchConfidenceOption).toInt();
    }
    config.engine.variables = parser.values(setOption);
    config.engine.invertDarkImages = !parser.isSet(keepDarkOption);
    if (parser.isSet(coverOption)) {
        config.engine.coverConfidence = parser.value(coverOption).toInt();
    }
    if (parser.isSet(thresholdingOption)) {
        config.engine.thresholdingMethod = parser.value(thresholdingOption).toInt();
    }
    if (parser.isSet(workersOption)) {
        config.maxConcurrency = parser.value(workersOption).toInt();
    }
    std::printf(
        "config psm=%d upscale_up_to=%d openmp_single=%d workers=%d languages=%s "
        "recover=%d patch_height=%d normalise=%d patch_confidence=%d thresholding=%d cover=%d\n",
        config.engine.pageSegmentationMode, config.engine.upscaleUpToSide,
        int(config.engine.singleThreadedOpenMP), config.maxConcurrency,
        qPrintable(config.engine.languages), int(config.engine.recoverUncoveredText),
        config.engine.patchTargetHeight, int(config.engine.normalisePatches),
        config.engine.patchMinConfidence, config.engine.thresholdingMethod,
        config.engine.coverConfidence);
    std::printf("variables %s invert_dark=%d\n", qPrintable(config.engine.variables.join(' ')),
                int(config.engine.invertDarkImages));

    // Rounds alternate which side goes first, so both see the same share of any outside load.
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    const bool withBaseline = parser.isSet(baselineOption);
    int peakThreads = 0;
    Totals ours;
    Totals baseline;
    for (int round = 0; round < rounds; ++round) {
        const bool baselineFirst = withBaseline && round % 2 == 1;
        if (baselineFirst) {
            add(baseline, runCommandLine(corpus));
        }
        add(ours, runService(corpus, config, peakThreads));
        if (withBaseline && !baselineFirst) {
            add(baseline, runCommandLine(corpus));
        }
    }
    std::printf("threads peak=%d (process, including %d workers)\n", peakThreads,
                config.maxConcurrency);
    std::printf("cpu_s=%.2f\n", ours.cpuSeconds);
    printTotals("total", ours);
    if (withBaseline) {
        printTotals("baseline", baseline);
        std::printf("ratio wall=%.3f cpu=%.3f (cpu_s %.2f vs %.2f)\n",
                    ours.wallSeconds / baseline.wallSeconds, ours.cpuSeconds / baseline.cpuSeconds,
                    ours.cpuSeconds, baseline.cpuSeconds);
    }
    return 0;
}
