#include "library/store/ThumbnailLoader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThreadPool>

#include "library/decoding/RetryDelays.h"
#include "library/store/Screenshot.h"
#include "platform/DebugLog.h"
#include "platform/TimerSource.h"

namespace framlet {
namespace {

QImage paintable(const QImage& image) {
    if (image.isNull()) {
        return image;
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

}  // namespace

ThumbnailLoader::ThumbnailLoader(int maxDimension, DecodeBudget& budget, TimerSource& timers,
                                 QThreadPool& pool, QObject* parent)
    : QObject(parent)
    , m_maxDimension(maxDimension)
    , m_decoder(budget)
    , m_timers(timers)
    , m_pool(pool) {
}

void ThumbnailLoader::load(Screenshot* screenshot) {
    attempt(QPointer<Screenshot>(screenshot), 0, FileStamp{});
}

void ThumbnailLoader::attempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                              const FileStamp& previous) {
    if (!screenshot) {
        return;
    }
    const quint64 revision = screenshot->revision();
    const QString path = screenshot->path();
    const QPointer<ThumbnailLoader> self(this);
    const auto leftShelf = screenshot->leftShelf();
    auto decode = [path, maxDimension = m_maxDimension, decoder = m_decoder, screenshot, self,
                   waitsUsed, leftShelf, revision, previous] {
        if (leftShelf->load()) {
            return;  // forgotten while it waited for a thread
        }
        // Before the decode: a change during it shows at the next attempt.
        const FileStamp stamp = FileStamp::of(path);
        ImageDecoder::Result result = decoder.decodeThumbnail(path, maxDimension);
        // The grid paints every thumbnail often: convert once here, off the main thread.
        result.image = paintable(result.image);
        // The pool thread never touches the receivers: it posts to the application object,
        // which outlives both, and the main thread checks whether they are still there.
        QCoreApplication* application = QCoreApplication::instance();
        if (!application) {
            return;  // the program is ending
        }
        QMetaObject::invokeMethod(
            application,
            [screenshot, self, waitsUsed, result, revision, stamp, previous] {
                // A result for contents replaced meanwhile is dropped: their own sequence runs.
                if (self && screenshot && screenshot->revision() == revision) {
                    self->finishAttempt(screenshot, waitsUsed, result, {stamp, previous});
                }
            },
            Qt::QueuedConnection);
    };
    // A capture's thumbnail is the one the user is about to look at.
    m_pool.start(std::move(decode), screenshot->arrival() == Screenshot::Arrival::captured ? 1 : 0);
}

void ThumbnailLoader::finishAttempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                                    const ImageDecoder::Result& result, const Stamps& stamps) {
    if (result.ok() && !result.image.isNull()) {
        screenshot->setThumbnail(result.image);
        return;
    }
    const bool changed = stamps.now != stamps.previous;
    if (const auto delay = nextRetryDelay(waitsUsed, changed)) {
        waitAndRetry(screenshot, *delay, waitsUsed, stamps.now);
    } else {
        const QString reason =
            result.message.isEmpty() ? QStringLiteral("no image") : result.message;
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
            self->attempt(screenshot, waitsUsed + 1, stamp);
        }
    });
}

void ThumbnailLoader::giveUp(Screenshot* screenshot, const QString& reason) {
    DebugLog::log(QStringLiteral("thumbnail: gave up on ") +
                  DebugLog::escaped(screenshot->fileName()) + QStringLiteral(": ") + reason);
    screenshot->markThumbnailFailed();
}

}  // namespace framlet
