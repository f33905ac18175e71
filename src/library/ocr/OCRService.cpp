#include "library/ocr/OCRService.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QTextBoundaryFinder>
#include <QThread>
#include <algorithm>
#include <utility>

#include "library/decoding/ImageDecoder.h"
#include "library/decoding/RetryDelays.h"
#include "platform/DebugLog.h"
#include "platform/TimerSource.h"

namespace framlet {
namespace {

// The length a reader would count: user-perceived characters, not UTF-16 code units.
qsizetype characterCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0) {
        ++count;
    }
    return count;
}

// A screenshot tool may create the file before it has written the image into it.
bool mayStillBeWritten(ImageDecoder::Failure failure) {
    return failure == ImageDecoder::Failure::corrupt ||
           failure == ImageDecoder::Failure::unreadable;
}

}  // namespace

struct OCRService::Request {
    Job job;
    QString fileName;
    Completion completion;
    std::size_t retriesUsed = 0;
    FileStamp lastStamp;         // the file as the attempt before found it
    std::uint64_t sequence = 0;  // the order of asking
    bool startLogged = false;
    std::atomic<bool> interrupt = false;  // set on the main thread, read by the engine
    bool live() const { return job.urgency == Urgency::live; }
};

OCRService::Configuration OCRService::Configuration::defaults() {
    Configuration configuration;
    configuration.engine = TesseractEngine::Options::defaults();
    configuration.maxConcurrency = concurrencyForCores(QThread::idealThreadCount());
    return configuration;
}

OCRService::OCRService(TimerSource& timers, DecodeBudget& budget, TextCache* cache)
    : OCRService(timers, budget, Configuration::defaults(), cache) {
}

OCRService::OCRService(TimerSource& timers, DecodeBudget& budget, Configuration configuration,
                       TextCache* cache)
    : m_timers(timers)
    , m_decoder(budget)
    , m_configuration(std::move(configuration))
    , m_cache(cache)
    , m_recognizerVersion(TesseractEngine::recognizerVersion(m_configuration.engine)) {
    m_pool.setObjectName(QStringLiteral("org.framlet.Framlet.ocr"));
    m_pool.setMaxThreadCount(std::max(1, m_configuration.maxConcurrency));
    // Recognition is background work: it should yield to anything the user is waiting for.
    m_pool.setThreadPriority(QThread::LowPriority);
}

OCRService::~OCRService() {
    m_pool.waitForDone();
}

int OCRService::concurrencyForCores(int cores) {
    if (cores < 4) {
        return 2;
    }
    return cores < 8 ? cores / 2 : 4;
}

void OCRService::recognizeText(const QString& path, Completion completion) {
    recognizeText(Job{path, Urgency::seed, {}}, std::move(completion));
}

void OCRService::recognizeText(Job job, Completion completion) {
    auto request = std::make_shared<Request>();
    request->fileName = DebugLog::escaped(QFileInfo(job.path).fileName());  // for log lines only
    request->job = std::move(job);
    request->completion = std::move(completion);
    request->sequence = m_nextSequence++;
    enqueue(std::move(request));
}

TextKey OCRService::cacheKey(const QString& path, const FileStamp& stamp) const {
    return {path, stamp.device, stamp.inode, stamp.size, stamp.modifiedNs, m_recognizerVersion};
}

void OCRService::enqueue(std::shared_ptr<Request> request) {
    if (request->live()) {
        interruptSeedsFor(*request);
        m_waitingLive.push_back(std::move(request));
    } else {
        m_waitingSeeds.push_back(std::move(request));
    }
    startWaiting();
}

void OCRService::interruptSeedsFor(const Request& live) {
    if (int(m_running.size()) < std::max(1, m_configuration.maxConcurrency) ||
        (live.job.wanted && !live.job.wanted())) {
        return;  // a worker is free for it, or it will be dropped
    }
    for (const std::shared_ptr<Request>& running : m_running) {
        if (!running->live()) {
            running->interrupt = true;
        }
    }
}

void OCRService::startWaiting() {
    while (std::shared_ptr<Request> request = takeNext()) {
        if (request->job.wanted && !request->job.wanted()) {
            continue;
        }
        m_running.push_back(request);
        startAttempt(std::move(request));
    }
    noteLive();
}

void OCRService::noteLive() {
    const bool live =
        !m_waitingLive.empty() || std::any_of(m_running.cbegin(), m_running.cend(),
                                              [](const auto& running) { return running->live(); });
    if (live != std::exchange(m_readingLive, live)) {
        Q_EMIT readingLiveChanged(live);
    }
}

std::shared_ptr<OCRService::Request> OCRService::takeNext() {
    const bool workerFree = int(m_running.size()) < std::max(1, m_configuration.maxConcurrency);
    const bool liveRunning = std::any_of(m_running.cbegin(), m_running.cend(),
                                         [](const auto& running) { return running->live(); });
    std::deque<std::shared_ptr<Request>>* queue = nullptr;
    if (workerFree && !m_waitingLive.empty()) {
        queue = &m_waitingLive;
    } else if (workerFree && m_waitingLive.empty() && !liveRunning && !m_waitingSeeds.empty()) {
        queue = &m_waitingSeeds;
    }
    if (!queue) {
        return nullptr;
    }
    std::shared_ptr<Request> next = std::move(queue->front());
    queue->pop_front();
    return next;
}

void OCRService::startAttempt(std::shared_ptr<Request> request) {
    const bool logStart = !std::exchange(request->startLogged, true);
    // The request travels to the worker and back; only the main thread touches its completion.
    m_pool.start([this, request = std::move(request), logStart]() mutable {
        const AttemptResult result = attempt(*request, logStart);
        QMetaObject::invokeMethod(
            this,
            [this, request = std::move(request), result]() mutable {
                std::erase(m_running, request);
                finishAttempt(std::move(request), result);
                startWaiting();
            },
            Qt::QueuedConnection);
    });
}

OCRService::AttemptResult OCRService::attempt(const Request& request, bool logStart) const {
    const QString& path = request.job.path;
    const QString& fileName = request.fileName;
    if (logStart) {
        DebugLog::log(QStringLiteral("ocr: start ") + fileName);
    }
    const FileStamp stamp = FileStamp::of(path);  // before: a change shows next time
    const TextKey key = cacheKey(path, stamp);
    if (m_cache && stamp.known()) {
        if (std::optional<QString> kept = m_cache->text(key)) {
            DebugLog::log(QStringLiteral("ocr: remembered ") + fileName);
            return {Outcome::finished, *kept, {}, {}};
        }
    }
    const ImageDecoder::Result decoded = m_decoder.decodeForRecognition(path);
    if (!decoded.ok()) {
        // Whether it still exists is checked again on the main thread after each wait.
        if (mayStillBeWritten(decoded.failure) && QFile::exists(path)) {
            return {Outcome::notDecodableYet, QString(), stamp, decoded.message};
        }
        logGone(fileName, decoded.failure == ImageDecoder::Failure::missing);
        return {};
    }
    if (request.interrupt) {
        return {Outcome::interrupted, QString(), {}, {}};  // a capture came while it decoded
    }
    TesseractEngine& engine = TesseractEngine::forThisThread(m_configuration.engine);
    const TesseractEngine::Result recognized = engine.recognize(decoded.image, &request.interrupt);
    if (recognized.interrupted) {
        return {Outcome::interrupted, QString(), {}, {}};
    }
    if (!recognized.ok()) {
        DebugLog::log(QStringLiteral("ocr: THREW %1: %2").arg(fileName, recognized.error));
        return {};
    }
    const QString text = recognized.lines.join(QLatin1Char('\n')).toLower();
    if (m_cache && stamp.known()) {
        m_cache->remember(key, text);
    }
    DebugLog::log(QStringLiteral("ocr: done %1 -> %2 chars")
                      .arg(fileName, QString::number(characterCount(text))));
    return {Outcome::finished, text, {}, {}};
}

void OCRService::finishAttempt(std::shared_ptr<Request> request, const AttemptResult& result) {
    if (result.outcome == Outcome::interrupted) {
        // Taken up again, in its turn, as soon as the live captures are read.
        request->interrupt = false;
        const auto place =
            std::upper_bound(m_waitingSeeds.begin(), m_waitingSeeds.end(), request->sequence,
                             [](std::uint64_t sequence, const auto& waiting) {
                                 return sequence < waiting->sequence;
                             });
        m_waitingSeeds.insert(place, std::move(request));
    } else if (result.outcome == Outcome::finished) {
        deliver(*request, result.text);
    } else {
        const bool changed = std::exchange(request->lastStamp, result.stamp) != result.stamp;
        if (const auto delay = nextRetryDelay(request->retriesUsed, changed)) {
            retryLater(std::move(request), *delay);
        } else {
            giveUp(*request,
                   result.failure + QStringLiteral(", unchanged since the attempt before"));
        }
    }
}

void OCRService::retryLater(std::shared_ptr<Request> request, std::chrono::milliseconds delay) {
    ++request->retriesUsed;
    m_timers.runAfter(delay, this, [this, request = std::move(request)]() mutable {
        if (QFile::exists(request->job.path)) {
            enqueue(std::move(request));
        } else {
            logGone(request->fileName, true);
            deliver(*request, QString());
        }
    });
}

void OCRService::giveUp(Request& request, const QString& reason) {
    logLoadFailure(request.fileName, reason);
    deliver(request, QString());
}

// A file renamed or deleted away is no failure to load an image.
void OCRService::logGone(const QString& fileName, bool gone) {
    if (gone) {
        DebugLog::log(QStringLiteral("ocr: skipped %1, the file is gone").arg(fileName));
    } else {
        logLoadFailure(fileName);
    }
}

void OCRService::logLoadFailure(const QString& fileName, const QString& reason) {
    DebugLog::log(QStringLiteral("ocr: FAILED to load image ") + fileName +
                  (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
}

void OCRService::deliver(Request& request, const QString& text) {
    // Lower-cased here, on the main thread, so the store receives its final form.
    const Completion completion = std::move(request.completion);
    request.completion = nullptr;
    if (completion) {
        completion(text.toLower());
    }
}

}  // namespace framlet
