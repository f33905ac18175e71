#pragma once

#include <QFuture>
#include <QPromise>
#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace framlet {

// Blocking work on a folder (listing it, watching it, looking at it) runs here, off the thread
// that asks, on a thread of the folder's own: a folder on a mount that never answers (a stale
// network share) stalls its own work and nothing else.
//
// The work for one folder runs one piece at a time, in the order asked, program-wide, so a folder
// that does not answer holds one thread however often it is asked; what is asked meanwhile waits
// behind it. A folder's thread ends when the folder has nothing more to do, and none is waited
// for at exit.
namespace FolderThreads {

void run(const QString& folder, std::function<void()> work);

// The same, with the result as a future; attach the continuation with a context object
// (future.then(receiver, ...)) to get it back on the receiver's thread.
template <typename T>
QFuture<T> future(const QString& folder, std::function<T()> work) {
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    QFuture<T> result = promise->future();
    run(folder, [promise, work = std::move(work)] {
        promise->addResult(work());
        promise->finish();
    });
    return result;
}

}  // namespace FolderThreads

// Runs work on the folders' threads for one receiver, and hands each result back on the
// receiver's thread, for as long as the worker lives.
class FolderWorker {
public:
    // What a piece of work hands back, to run on the receiver's thread.
    using Reply = std::function<void()>;
    using Work = std::function<Reply()>;

    explicit FolderWorker(QObject* receiver);
    // Work not yet begun never begins and replies not yet run never run. Destroyed on the
    // receiver's thread, before the receiver.
    ~FolderWorker();
    FolderWorker(const FolderWorker&) = delete;
    FolderWorker& operator=(const FolderWorker&) = delete;

    void run(const QString& folder, Work work);

private:
    struct Link;
    std::shared_ptr<Link> m_link;
};

}  // namespace framlet
