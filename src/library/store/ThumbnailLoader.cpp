#include "library/store/ThumbnailLoader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThreadPool>

#include "library/decoding/RetryDelays.h"
#include "library/store/Screenshot.h"
#include "library/store/SharedThumbnails.h"
#include "platform/DebugLog.h"
#include "platform/TimerSource.h"

namespace framlet {

struct ThumbnailLoader::Outcome {
    ImageDecoder::Result result;
    FileStamp stamp;
    int side = 0;               // the longest side the thumbnail was asked to cover
    bool failedBefore = false;  // recorded as undecodable at this stamp by an earlier run
};

namespace {

QImage paintable(const QImage& image) {
    if (image.isNull()) {
        return image;
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

std::optional<SharedThumbnails::Size> sizeClass(const SharedThumbnails* shared, int pixels) {
    return shared ? SharedThumbnails::sizeFor(pixels) : std::nullopt;
}

// Only what the file itself causes is worth remembering: not a missing or forbidden file.
bool lasting(ImageDecoder::Failure failure) {
    using Failure = ImageDecoder::Failure;
    return failure == Failure::corrupt || failure == Failure::unsupported ||
           failure == Failure::tooLarge;
}

}  // namespace

ThumbnailLoader::ThumbnailLoader(int pixels, const SharedThumbnails* shared, DecodeBudget& budget,
                                 TimerSource& timers, QThreadPool& pool, QObject* parent)
    : QObject(parent)
    , m_pixels(pixels)
    , m_shared(shared)
    , m_decoder(budget)
    , m_timers(timers)
    , m_pool(pool) {
}

int ThumbnailLoader::side() const {
    const auto size = sizeClass(m_shared, m_pixels);
    return size ? int(*size) : m_pixels;
}

void ThumbnailLoader::load(Screenshot* screenshot) {
    attempt(QPointer<Screenshot>(screenshot), 0, FileStamp{}, Purpose::first);
}

void ThumbnailLoader::setPixels(int pixels, const QList<Screenshot*>& shown) {
    const int before = side();
    m_pixels = pixels;
    if (side() <= before) {
        return;
    }
    for (Screenshot* screenshot : shown) {
        if (!screenshot->thumbnail().isNull()) {
            attempt(QPointer<Screenshot>(screenshot), 0, FileStamp{}, Purpose::enlarge);
        }
    }
}

void ThumbnailLoader::attempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                              const FileStamp& previous, Purpose purpose) {
    if (!screenshot) {
        return;
    }
    const quint64 revision = screenshot->revision();
    const QString path = screenshot->path();
    const QPointer<ThumbnailLoader> self(this);
    const auto leftShelf = screenshot->leftShelf();
    auto decode = [path, pixels = m_pixels, shared = m_shared, decoder = m_decoder, screenshot,
                   self, waitsUsed, leftShelf, revision, previous, purpose] {
        if (leftShelf->load()) {
            return;  // forgotten while it waited for a thread
        }
        Outcome outcome;
        // Before the decode: a change during it shows at the next attempt.
        outcome.stamp = FileStamp::of(path);
        const auto size = sizeClass(shared, pixels);
        outcome.side = size ? int(*size) : pixels;
        if (size) {
            // One of a larger class is brought down to this one: the shelf holds them all.
            outcome.result.image =
                ImageDecoder::resized(shared->find(path, outcome.stamp, *size), outcome.side);
            outcome.failedBefore = outcome.result.image.isNull() && purpose == Purpose::first &&
                                   shared->failedBefore(path, outcome.stamp);
        }
        if (outcome.result.image.isNull() && !outcome.failedBefore) {
            outcome.result = decoder.decodeThumbnail(path, outcome.side);
            // Shared only when it is surely of the contents the stamp describes.
            if (size && outcome.result.ok() && FileStamp::of(path) == outcome.stamp) {
                shared->save(path, outcome.stamp, *size, outcome.result.image);
            }
        }
        // The grid paints every thumbnail often: convert once here, off the main thread.
        outcome.result.image = paintable(outcome.result.image);
        // The pool thread never touches the receivers: it posts to the application object,
        // which outlives both, and the main thread checks whether they are still there.
        QCoreApplication* application = QCoreApplication::instance();
        if (!application) {
            return;  // the program is ending
        }
        QMetaObject::invokeMethod(
            application,
            [screenshot, self, waitsUsed, outcome, revision, previous, purpose] {
                // A result for contents replaced meanwhile is dropped: their own sequence runs.
                if (self && screenshot && screenshot->revision() == revision) {
                    self->finishAttempt(screenshot, waitsUsed, outcome, {outcome.stamp, previous},
                                        purpose);
                }
            },
            Qt::QueuedConnection);
    };
    // A capture's thumbnail is the one the user is about to look at.
    m_pool.start(std::move(decode), screenshot->arrival() == Screenshot::Arrival::captured ? 1 : 0);
}

void ThumbnailLoader::finishAttempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                                    const Outcome& outcome, const Stamps& stamps, Purpose purpose) {
    const ImageDecoder::Result& result = outcome.result;
    if (result.ok() && !result.image.isNull()) {
        if (purpose == Purpose::enlarge) {
            screenshot->enlargeThumbnail(result.image);
        } else {
            screenshot->setThumbnail(result.image);
        }
        if (outcome.side < side()) {  // the cells grew while it was made
            attempt(screenshot, 0, FileStamp{}, Purpose::enlarge);
        }
        return;
    }
    if (purpose == Purpose::enlarge) {
        return;  // the smaller one stays
    }
    if (outcome.failedBefore) {
        giveUp(screenshot, QStringLiteral("failed before, and unchanged since"));
        return;
    }
    const bool changed = stamps.now != stamps.previous;
    if (const auto delay = nextRetryDelay(waitsUsed, changed)) {
        waitAndRetry(screenshot, *delay, waitsUsed, stamps.now);
    } else {
        const QString reason =
            result.message.isEmpty() ? QStringLiteral("no image") : result.message;
        if (lasting(result.failure)) {
            recordFailure(screenshot->path(), stamps.now);
        }
        giveUp(screenshot, reason + QStringLiteral(", unchanged since the attempt before"));
    }
}

void ThumbnailLoader::waitAndRetry(const QPointer<Screenshot>& screenshot,
                                   std::chrono::milliseconds delay, size_t waitsUsed,
                                   const FileStamp& stamp) {
    const QPointer<ThumbnailLoader> self(this);
    const quint64 revision = screenshot->revision();
    m_timers.runAfter(delay, screenshot, [self, screenshot, waitsUsed, revision, stamp] {
        if (!self || !screenshot || screenshot->revision() != revision) {
            return;
        }
        if (!QFileInfo::exists(screenshot->path())) {
            self->giveUp(screenshot, QStringLiteral("the file is gone"));
        } else {
            self->attempt(screenshot, waitsUsed + 1, stamp, Purpose::retry);
        }
    });
}

void ThumbnailLoader::giveUp(Screenshot* screenshot, const QString& reason) {
    DebugLog::log(QStringLiteral("thumbnail: gave up on ") +
                  DebugLog::escaped(screenshot->fileName()) + QStringLiteral(": ") + reason);
    screenshot->markThumbnailFailed();
}

void ThumbnailLoader::recordFailure(const QString& path, const FileStamp& stamp) {
    if (m_shared && stamp.known()) {
        m_pool.start([shared = m_shared, path, stamp] { shared->recordFailure(path, stamp); });
    }
}

}  // namespace framlet
