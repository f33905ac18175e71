#include "library/ocr/OlderScreenshotReader.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>

#include "library/textcache/TextCache.h"
#include "platform/DebugLog.h"
#include "platform/IdlePriority.h"

namespace framlet {

OlderScreenshotReader::OlderScreenshotReader(TextCache& cache, DecodeBudget& budget,
                                             TesseractEngine::Options options, QObject* parent)
    : QObject(parent)
    , m_cache(cache)
    , m_decoder(budget)
    , m_options(std::move(options))
    , m_recognizer(TesseractEngine::recognizerVersion(m_options)) {
}

OlderScreenshotReader::~OlderScreenshotReader() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_interrupt = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void OlderScreenshotReader::setFiles(const QList<File>& files) {
    std::deque<File> queue;
    int done = 0;
    for (const File& file : files) {
        const auto read = m_read.constFind(file.path);
        if (read != m_read.cend() && *read == file.stamp) {
            ++done;
        } else {
            queue.push_back(file);
        }
    }
    {
        const std::lock_guard lock(m_mutex);
        m_queue = std::move(queue);
    }
    m_done = done;
    m_total = int(files.size());
    Q_EMIT progressed(m_done, m_total);
    startIfNeeded();
}

void OlderScreenshotReader::setPaused(Pause reason, bool paused) {
    {
        const std::lock_guard lock(m_mutex);
        m_paused = paused ? m_paused | reason : m_paused & ~unsigned(reason);
        // What it reads now is read again once it goes on.
        m_interrupt = m_paused != 0;
    }
    startIfNeeded();
}

bool OlderScreenshotReader::reading() const {
    const std::lock_guard lock(m_mutex);
    return m_running;
}

void OlderScreenshotReader::startIfNeeded() {
    std::unique_lock lock(m_mutex);
    if (m_running || m_paused || m_queue.empty() || m_stopping) {
        return;
    }
    if (m_thread.joinable()) {
        lock.unlock();
        m_thread.join();  // it has ended its loop already
        lock.lock();
    }
    m_running = true;
    m_interrupt = false;
    m_thread = std::thread([this] { work(); });
}

void OlderScreenshotReader::work() {
    IdlePriority::lowerThisThread();
    std::unique_lock lock(m_mutex);
    while (!m_paused && !m_queue.empty() && !m_stopping) {
        const File file = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        const bool finished = read(file);
        lock.lock();
        if (!finished && !m_stopping) {
            m_queue.push_front(file);
        } else if (finished) {
            QMetaObject::invokeMethod(
                this, [this, file] { settled(file); }, Qt::QueuedConnection);
        }
    }
    m_running = false;
    // The engine of this thread goes with it, so a paused or finished reader holds no memory.
}

bool OlderScreenshotReader::read(const File& file) {
    const FileStamp stamp = FileStamp::of(file.path);
    const TextKey key{file.path,  stamp.device,     stamp.inode,
                      stamp.size, stamp.modifiedNs, m_recognizer};
    if (!stamp.known() || m_cache.text(key)) {
        return true;  // gone, or read already (by the shelf, or a launch before)
    }
    const ImageDecoder::Result decoded = m_decoder.decodeForRecognition(file.path);
    if (m_interrupt) {
        return false;
    }
    if (!decoded.ok()) {
        return true;  // not an image it can read; the listing will offer it again if it changes
    }
    const TesseractEngine::Result recognized =
        TesseractEngine::forThisThread(m_options).recognize(decoded.image, &m_interrupt);
    if (recognized.interrupted) {
        return false;
    }
    if (recognized.ok()) {
        m_cache.remember(key, recognized.lines.join(QLatin1Char('\n')).toLower());
        DebugLog::log(QStringLiteral("older: read ") +
                      DebugLog::escaped(QFileInfo(file.path).fileName()));
    }
    return true;
}

void OlderScreenshotReader::settled(const File& file) {
    m_read.insert(file.path, file.stamp);
    m_done = std::min(m_done + 1, m_total);
    Q_EMIT progressed(m_done, m_total);
}

}  // namespace framlet
