#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "library/decoding/FileStamp.h"
#include "library/decoding/ImageDecoder.h"
#include "library/ocr/TesseractEngine.h"

namespace framlet {

class TextCache;

// Reads the text of the screenshots beyond the shelf into the text cache, so that they can be
// found by the words inside them too. One worker thread at idle priority (processor and disk),
// newest first; it ends, engine and all, whenever there is nothing to do or it is paused, so it
// holds no memory while it waits. Lives on the main thread; progress arrives there.
class OlderScreenshotReader : public QObject {
    Q_OBJECT

public:
    struct File {
        QString path;
        FileStamp stamp;
    };
    // Why reading waits; it goes on once no reason is left.
    enum Pause : unsigned { liveCapture = 1, onBattery = 2, turnedOff = 4 };

    OlderScreenshotReader(TextCache& cache, DecodeBudget& budget, TesseractEngine::Options options,
                          QObject* parent = nullptr);
    ~OlderScreenshotReader() override;

    // The files to have read, newest first; replaces the list before. A file already read with
    // the same stamp counts as done at once.
    void setFiles(const QList<File>& files);
    void setPaused(Pause reason, bool paused);
    // Forgets which files were read, as when the cache was emptied; the next list reads all.
    void forgetRead() { m_read.clear(); }

    int done() const { return m_done; }
    int total() const { return m_total; }
    // Whether the worker thread runs now.
    bool reading() const;

Q_SIGNALS:
    void progressed(int done, int total);

private:
    void startIfNeeded();
    void work();
    // Reads one file into the cache; false when it was interrupted and must be read again.
    bool read(const File& file);
    void settled(const File& file);

    TextCache& m_cache;
    const ImageDecoder m_decoder;
    const TesseractEngine::Options m_options;
    const QString m_recognizer;

    mutable std::mutex m_mutex;  // guards the members below up to m_thread
    std::deque<File> m_queue;
    unsigned m_paused = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::atomic<bool> m_interrupt = false;
    std::thread m_thread;

    // Main thread only.
    QHash<QString, FileStamp> m_read;  // what is in the cache, as it was read
    int m_done = 0;
    int m_total = 0;
};

}  // namespace framlet
