#include "OCRService.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QTextBoundaryFinder>
#include <QThread>

#include "DebugLog.h"
#include "DelayScheduler.h"
#include "ImageDecoder.h"

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
    QString path;
    QString fileName;
    Completion completion;
    std::size_t retriesUsed = 0;
};

OCRService::Configuration OCRService::Configuration::defaults() {
    Configuration configuration;
    configuration.engine = TesseractEngine::Options::defaults();
    configuration.maxConcurrency = concurrencyForCores(QThread::idealThreadCount());
    return configuration;
}

OCRService::OCRService(DelayScheduler& scheduler)
    : OCRService(scheduler, Configuration::defaults()) {
}

OCRService::OCRService(DelayScheduler& scheduler, Configuration configuration)
    : m_scheduler(scheduler), m_configuration(std::move(configuration)) {
    m_pool.setObjectName(QStringLiteral("org.framlet.Framlet.ocr"));
    m_pool.setMaxThreadCount(std::max(1, m_configuration.maxConcurrency));
    // Recognition is background work: it should yield to anything the user is waiting for.
    m_pool.setThreadPriority(QThread::LowPriority);
}

OCRService::~OCRService() {
    m_pool.waitForDone();
}

OCRService& OCRService::shared() {
    static OCRService service(DelayScheduler::realTime());
    return service;
}

int OCRService::concurrencyForCores(int cores) {
    if (cores < 4) {
        return 2;
    }
    return cores < 8 ? cores / 2 : 4;
}

void OCRService::recognizeText(const QString& path, Completion completion) {
    auto request = std::make_shared<Request>();
    request->path = path;
    request->fileName = DebugLog::escaped(QFileInfo(path).fileName());  // for log lines only
    request->completion = std::move(completion);
    startAttempt(std::move(request));
}

void OCRService::startAttempt(std::shared_ptr<Request> request) {
    // The request travels to the worker and back; only the main thread touches its completion.
    m_pool.start([this, request = std::move(request)]() mutable {
        const AttemptResult result =
            attempt(request->path, request->fileName, request->retriesUsed == 0);
        QMetaObject::invokeMethod(
            this,
            [this, request = std::move(request), result]() mutable {
                finishAttempt(std::move(request), result);
            },
            Qt::QueuedConnection);
    });
}

OCRService::AttemptResult OCRService::attempt(const QString& path, const QString& fileName,
                                              bool first) const {
    if (first) {
        DebugLog::log(QStringLiteral("ocr: start ") + fileName);
    }
    const ImageDecoder::Result decoded = ImageDecoder::decodeForRecognition(path);
    if (!decoded.ok()) {
        // Whether it still exists is checked again on the main thread after each wait.
        if (mayStillBeWritten(decoded.failure) && QFile::exists(path)) {
            return {Outcome::notDecodableYet, QString()};
        }
        logGone(fileName, decoded.failure == ImageDecoder::Failure::missing);
        return {};
    }
    TesseractEngine& engine = TesseractEngine::forThisThread(m_configuration.engine);
    const TesseractEngine::Result recognized = engine.recognize(decoded.image);
    if (!recognized.ok()) {
        DebugLog::log(QStringLiteral("ocr: THREW %1: %2").arg(fileName, recognized.error));
        return {};
    }
    const QString text = recognized.lines.join(QLatin1Char('\n'));
    DebugLog::log(QStringLiteral("ocr: done %1 -> %2 chars")
                      .arg(fileName, QString::number(characterCount(text))));
    return {Outcome::finished, text};
}

void OCRService::finishAttempt(std::shared_ptr<Request> request, const AttemptResult& result) {
    if (result.outcome == Outcome::finished) {
        deliver(*request, result.text);
    } else if (request->retriesUsed < kRetryDelays.size()) {
        retryLater(std::move(request));
    } else {
        giveUp(*request);
    }
}

void OCRService::retryLater(std::shared_ptr<Request> request) {
    const auto delay = kRetryDelays[request->retriesUsed++];
    m_scheduler.schedule(delay, this, [this, request = std::move(request)]() mutable {
        if (QFile::exists(request->path)) {
            startAttempt(std::move(request));
        } else {
            logGone(request->fileName, true);
            deliver(*request, QString());
        }
    });
}

void OCRService::giveUp(Request& request) {
    logLoadFailure(request.fileName);
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

void OCRService::logLoadFailure(const QString& fileName) {
    DebugLog::log(QStringLiteral("ocr: FAILED to load image ") + fileName);
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
