#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <chrono>

#include "library/decoding/FileStamp.h"
#include "library/decoding/ImageDecoder.h"

class QThreadPool;

namespace framlet {

class DecodeBudget;
class TimerSource;
class Screenshot;
class SharedThumbnails;

// Gives a screenshot its thumbnail, patiently: each attempt is one decode on the pool; after a
// failed attempt it waits through the retry delays (scheduled on this thread, never slept on a
// pool thread) and tries again while the file exists, and after them for as long as the file
// keeps changing. Giving up logs one line saying why and marks the screenshot failed. A screenshot
// deleted meanwhile simply ends the sequence.
//
// With the desktop's shared thumbnails, an attempt first looks there for one that covers the
// thumbnail's size, and decodes the file only when there is none; what it decodes (at the size
// class that covers the thumbnail) is written there, and giving up is recorded there, so the
// next launch neither decodes nor retries the same file again.
class ThumbnailLoader : public QObject {
    Q_OBJECT

public:
    // Thumbnails cover pixels on their longest side; shared may be null (thumbnails in memory).
    ThumbnailLoader(int pixels, const SharedThumbnails* shared, DecodeBudget& budget,
                    TimerSource& timers, QThreadPool& pool, QObject* parent = nullptr);

    void load(Screenshot* screenshot);
    // Thumbnails made from now on cover pixels; when they did not before, the ones shown are
    // made again at the new size (a thumbnail already shown stays if that fails).
    void setPixels(int pixels, const QList<Screenshot*>& shown);
    // The longest side thumbnails are made at: the size class that covers the pixels asked for.
    int side() const;

private:
    struct Outcome;
    // The file as it was at this attempt and at the one before.
    struct Stamps {
        FileStamp now;
        FileStamp previous;
    };
    enum class Purpose { first, retry, enlarge };
    void attempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                 const FileStamp& previous, Purpose purpose);
    void finishAttempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                       const Outcome& outcome, const Stamps& stamps, Purpose purpose);
    void waitAndRetry(const QPointer<Screenshot>& screenshot, std::chrono::milliseconds delay,
                      size_t waitsUsed, const FileStamp& stamp);
    void giveUp(Screenshot* screenshot, const QString& reason);
    void recordFailure(const QString& path, const FileStamp& stamp);

    int m_pixels;
    const SharedThumbnails* const m_shared;
    const ImageDecoder m_decoder;
    TimerSource& m_timers;
    QThreadPool& m_pool;
};

}  // namespace framlet
