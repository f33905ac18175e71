#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "library/decoding/FileStamp.h"
#include "library/decoding/ImageDecoder.h"
#include "library/ocr/TesseractEngine.h"
#include "library/textcache/TextCache.h"

namespace framlet {

class DecodeBudget;
class TextCache;
class TimerSource;

// Recognises the text of image files on this machine (Tesseract) on a small pool of worker
// threads, each with its own engine. Lives on the main thread.
class OCRService : public QObject {
    Q_OBJECT

public:
    using Completion = std::function<void(const QString& lowerCasedText)>;

    // A capture the user just took is what they will search for next; screenshots found at
    // start-up can wait.
    enum class Urgency { seed, live };

    struct Job {
        QString path;
        Urgency urgency = Urgency::seed;
        // Asked on the main thread just before the job starts; false drops it without a
        // completion (its screenshot left the shelf meanwhile). Unset means always wanted.
        std::function<bool()> wanted;
    };

    struct Configuration {
        TesseractEngine::Options engine;
        int maxConcurrency = 2;

        // Tesseract with the user's languages, one worker per two cores (2 to 4).
        static Configuration defaults();
    };

    // With a cache, a file whose text it holds for the same contents and recogniser is not
    // read again, and every text read is kept there.
    OCRService(TimerSource& timers, DecodeBudget& budget, TextCache* cache = nullptr);
    OCRService(TimerSource& timers, DecodeBudget& budget, Configuration configuration,
               TextCache* cache = nullptr);
    ~OCRService() override;

    // Queues recognition and returns at once. The completion runs exactly once, later, on the
    // main thread, with the recognised lines joined by line feeds and lower-cased; empty when the
    // image has no text or cannot be read. A file that exists but cannot be decoded yet (still
    // being written) is tried again after each of the kRetryDelays, and after them for as long
    // as it keeps changing (nextRetryDelay). Requests still pending when the service is
    // destroyed are dropped without a completion.
    //
    // Order: live jobs before seeds, each first-in first-out. No seed starts while a live job
    // waits or runs, and a live job that finds every worker busy interrupts the seeds being
    // read, which go back to the front of their queue: a capture waits neither for the queue
    // nor for the seeds already started.
    void recognizeText(Job job, Completion completion);
    void recognizeText(const QString& path, Completion completion);

    // Enough workers to keep a seeding launch moving without flooding the machine: 2 below four
    // cores, half the cores from four to seven, 4 from eight on.
    static int concurrencyForCores(int cores);

    const Configuration& configuration() const { return m_configuration; }
    // The cache's key for a file as it is now: unknown (no inode) when it cannot be read.
    TextKey cacheKey(const QString& path, const FileStamp& stamp) const;
    // Whether a live capture waits or is being read.
    bool readingLive() const { return m_readingLive; }

Q_SIGNALS:
    // A live capture began to wait or be read, or the last one was settled.
    void readingLiveChanged(bool reading);

private:
    struct Request;
    enum class Outcome { finished, notDecodableYet, interrupted };
    struct AttemptResult {
        Outcome outcome = Outcome::finished;
        QString text;
        FileStamp stamp;  // the file as this attempt found it
        QString failure;  // why it could not be decoded
    };

    void enqueue(std::shared_ptr<Request> request);
    void startWaiting();
    void noteLive();
    void interruptSeedsFor(const Request& live);
    std::shared_ptr<Request> takeNext();
    void startAttempt(std::shared_ptr<Request> request);
    void finishAttempt(std::shared_ptr<Request> request, const AttemptResult& result);
    void retryLater(std::shared_ptr<Request> request, std::chrono::milliseconds delay);
    static void giveUp(Request& request, const QString& reason);
    static void logLoadFailure(const QString& fileName, const QString& reason = {});
    static void logGone(const QString& fileName, bool gone);
    static void deliver(Request& request, const QString& text);
    AttemptResult attempt(const Request& request, bool logStart) const;

    TimerSource& m_timers;
    const ImageDecoder m_decoder;
    const Configuration m_configuration;
    TextCache* const m_cache;
    const QString m_recognizerVersion;
    QThreadPool m_pool;
    std::deque<std::shared_ptr<Request>> m_waitingLive;
    std::deque<std::shared_ptr<Request>> m_waitingSeeds;
    std::vector<std::shared_ptr<Request>> m_running;
    std::uint64_t m_nextSequence = 0;
    bool m_readingLive = false;
};

}  // namespace framlet
