#include "library/ThumbnailLoader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThreadPool>

#include "library/RetryDelays.h"
#include "library/Screenshot.h"
#include "library/TimerSource.h"
#include "platform/DebugLog.h"

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

ThumbnailLoader::ThumbnailLoader(int maxDimension, TimerSource& timers, QThreadPool& pool,
                                 QObject* parent)
    : QObject(parent), m_maxDimension(maxDimension), m_timers(timers), m_pool(pool) {
}

void ThumbnailLoader::load(Screenshot* screenshot) {
    attempt(QPointer<Screenshot>(screenshot), 0);
}

void ThumbnailLoader::attempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed) {
    if (!screenshot) {
        return;
    }
    const quint64 revision = screenshot->revision();
    const QString path = screenshot->path();
    const QPointer<ThumbnailLoader> self(this);
    const auto leftShelf = screenshot->leftShelf();
    auto decode = [path, maxDimension = m_maxDimension, screenshot, self, waitsUsed, leftShelf,
                   revision] {
        if (leftShelf->load()) {
            return;  // forgotten while it waited for a thread
        }
        ImageDecoder::Result result = ImageDecoder::decodeThumbnail(path, maxDimension);
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
            [screenshot, self, waitsUsed, result, revision] {
                // A result for contents replaced meanwhile is dropped: their own sequence runs.
                if (self && screenshot && screenshot->revision() == revision) {
                    self->finishAttempt(screenshot, waitsUsed, result);
                }
            },
            Qt::QueuedConnection);
    };
    // A capture's thumbnail is the one the user is about to look at.
    m_pool.start(std::move(decode), screenshot->arrival() == Screenshot::Arrival::captured ? 1 : 0);
}

void ThumbnailLoader::finishAttempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                                    const ImageDecoder::Result& result) {
    if (result.ok() && !result.image.isNull()) {
        screenshot->setThumbnail(result.image);
    } else if (waitsUsed < kRetryDelays.size()) {
        waitAndRetry(screenshot, waitsUsed);
    } else {
        giveUp(screenshot);
    }
}

void ThumbnailLoader::waitAndRetry(const QPointer<Screenshot>& screenshot, size_t waitsUsed) {
    const QPointer<ThumbnailLoader> self(this);
    const quint64 revision = screenshot->revision();
    m_timers.runAfter(kRetryDelays[waitsUsed], screenshot, [self, screenshot, waitsUsed, revision] {
        if (!self || !screenshot || screenshot->revision() != revision) {
            return;
        }
        if (!QFileInfo::exists(screenshot->path())) {
            self->giveUp(screenshot);
        } else {
            self->attempt(screenshot, waitsUsed + 1);
        }
    });
}

void ThumbnailLoader::giveUp(Screenshot* screenshot) {
    DebugLog::log(QStringLiteral("thumbnail: gave up on ") +
                  DebugLog::escaped(screenshot->fileName()));
    screenshot->markThumbnailFailed();
}

}  // namespace framlet
