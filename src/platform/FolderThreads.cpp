#include "platform/FolderThreads.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <deque>
#include <system_error>
#include <thread>

#include "platform/DebugLog.h"

namespace framlet {
namespace {

// A folder has an entry while its thread runs; the entry holds the work still waiting.
struct Lanes {
    QMutex mutex;
    QHash<QString, std::deque<std::function<void()>>> waiting;
};

// Never destroyed: a thread stuck on a dead mount may outlive everything else.
Lanes& lanes() {
    static auto* const made = new Lanes;
    return *made;
}

void drain(const QString& folder) {
    Lanes& all = lanes();
    for (;;) {
        std::function<void()> work;
        {
            const QMutexLocker lock(&all.mutex);
            const auto queue = all.waiting.find(folder);
            if (queue->empty()) {
                all.waiting.erase(queue);
                return;
            }
            work = std::move(queue->front());
            queue->pop_front();
        }
        work();
    }
}

}  // namespace

void FolderThreads::run(const QString& folder, std::function<void()> work) {
    Lanes& all = lanes();
    const QMutexLocker lock(&all.mutex);
    const bool running = all.waiting.contains(folder);
    all.waiting[folder].push_back(std::move(work));
    if (running) {
        return;
    }
    try {
        std::thread(drain, folder).detach();
    } catch (const std::system_error& error) {
        all.waiting.remove(folder);
        DebugLog::log(QStringLiteral("watcher: no thread for %1: %2")
                          .arg(DebugLog::escaped(folder), QString::fromLocal8Bit(error.what())));
    }
}

struct FolderWorker::Link {
    explicit Link(QObject* receiver) : receiver(receiver) {}
    bool open() {
        const QMutexLocker lock(&mutex);
        return receiver != nullptr;
    }

    QMutex mutex;
    QObject* receiver;
};

FolderWorker::FolderWorker(QObject* receiver) : m_link(std::make_shared<Link>(receiver)) {
}

FolderWorker::~FolderWorker() {
    const QMutexLocker lock(&m_link->mutex);
    m_link->receiver = nullptr;
}

void FolderWorker::run(const QString& folder, Work work) {
    FolderThreads::run(folder, [link = m_link, work = std::move(work)] {
        if (!link->open()) {
            return;  // nobody is left to take the result
        }
        Reply reply = work();
        // Posted under the lock, so the receiver cannot go away meanwhile.
        const QMutexLocker lock(&link->mutex);
        if (link->receiver) {
            QMetaObject::invokeMethod(
                link->receiver,
                [link, reply = std::move(reply)] {
                    if (link->open()) {
                        reply();
                    }
                },
                Qt::QueuedConnection);
        }
    });
}

}  // namespace framlet
