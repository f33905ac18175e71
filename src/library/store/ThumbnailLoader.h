#pragma once

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

// Gives a screenshot its thumbnail, patiently: each attempt is one decode on the pool; after a
// failed attempt it waits through the retry delays (scheduled on this thread, never slept on a
// pool thread) and tries again while the file exists, and after them for as long as the file
// keeps changing. Giving up logs one line saying why and marks the screenshot failed. A screenshot
// deleted meanwhile simply ends the sequence.
class ThumbnailLoader : public QObject {
    Q_OBJECT

public:
    // Thumbnails are at most maxDimension wide and high.
    ThumbnailLoader(int maxDimension, DecodeBudget& budget, TimerSource& timers, QThreadPool& pool,
                    QObject* parent = nullptr);

    void load(Screenshot* screenshot);

private:
    // The file as it was at this attempt and at the one before.
    struct Stamps {
        FileStamp now;
        FileStamp previous;
    };
    void attempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                 const FileStamp& previous);
    void finishAttempt(const QPointer<Screenshot>& screenshot, size_t waitsUsed,
                       const ImageDecoder::Result& result, const Stamps& stamps);
    void waitAndRetry(const QPointer<Screenshot>& screenshot, std::chrono::milliseconds delay,
                      size_t waitsUsed, const FileStamp& stamp);
    void giveUp(Screenshot* screenshot, const QString& reason);

    const int m_maxDimension;
    const ImageDecoder m_decoder;
    TimerSource& m_timers;
    QThreadPool& m_pool;
};

}  // namespace framlet
