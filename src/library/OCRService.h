#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <memory>

#include "TesseractEngine.h"

namespace framlet {

class DelayScheduler;

// Recognises the text of image files on this machine (Tesseract) on a small pool of worker
// threads, each with its own engine. Lives on the main thread.
class OCRService : public QObject {
public:
    using Completion = std::function<void(const QString& lowerCasedText)>;

    struct Configuration {
        TesseractEngine::Options engine;
        int maxConcurrency = 2;

        // Tesseract with the user's languages, one worker per two cores (2 to 4).
        static Configuration defaults();
    };

    explicit OCRService(DelayScheduler& scheduler);
    OCRService(DelayScheduler& scheduler, Configuration configuration);
    ~OCRService() override;

    static OCRService& shared();

    // Queues recognition and returns at once. The completion runs exactly once, later, on the
    // main thread, with the recognised lines joined by line feeds and lower-cased; empty when the
    // image has no text or cannot be read. A file that exists but cannot be decoded yet (still
    // being written) is tried again after each of the kRetryDelays. Requests still pending when
    // the service is destroyed are dropped without a completion.
    void recognizeText(const QString& path, Completion completion);

    // Enough workers to keep a seeding launch moving without flooding the machine: 2 below four
    // cores, half the cores from four to seven, 4 from eight on.
    static int concurrencyForCores(int cores);

    const Configuration& configuration() const { return m_configuration; }

private:
    struct Request;
    enum class Outcome { finished, notDecodableYet };
    struct AttemptResult {
        Outcome outcome = Outcome::finished;
        QString text;
    };

    void startAttempt(std::shared_ptr<Request> request);
    void finishAttempt(std::shared_ptr<Request> request, const AttemptResult& result);
    void retryLater(std::shared_ptr<Request> request);
    static void giveUp(Request& request);
    static void logLoadFailure(const QString& fileName);
    static void logGone(const QString& fileName, bool gone);
    static void deliver(Request& request, const QString& text);
    AttemptResult attempt(const QString& path, const QString& fileName, bool first) const;

    DelayScheduler& m_scheduler;
    const Configuration m_configuration;
    QThreadPool m_pool;
};

}  // namespace framlet
