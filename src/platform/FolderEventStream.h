#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/FolderThreads.h"

class QSocketNotifier;

namespace framlet {

// Tells when the contents of any of a few folders change: files created, deleted or renamed in or
// out (inotify). Events are per folder, not per file, and arrive on the thread that owns the
// stream.
//
// A folder that does not exist (yet), or that is deleted or moved away while watched, is waited
// for: its nearest existing ancestor is watched until the folder can be watched again, and then
// `changed` is emitted so the caller lists it afresh. A watched folder that is a symbolic link is
// followed to wherever the link points, also after it is replaced or pointed elsewhere.
//
// Placing the watches looks the folders up, which waits as long as their file system does: it
// happens on the folders' own threads (FolderThreads), each folder with an inotify instance of
// its own, so a folder on a mount that never answers is not watched but holds up neither the
// other folders nor the owning thread.
class FolderEventStream : public QObject {
    Q_OBJECT

public:
    // Names: files created, deleted or renamed. Writes: also files written and closed, for
    // settings files that programs rewrite in place.
    enum class Reports { Names, NamesAndWrites };

    explicit FolderEventStream(QStringList folderPaths, Reports reports = Reports::Names,
                               QObject* parent = nullptr);
    ~FolderEventStream() override;

    // Opens the event sources and begins placing the watches; false when the system refuses an
    // inotify instance (the instance limit). Work asked of a folder's thread after this call
    // runs once the folder's watches are in place, so a listing made then misses no change.
    bool start();
    void stop();
    bool isRunning() const { return m_running; }
    // Whether every folder is watched as well as it can be: false while watches are being placed.
    bool isSettled() const;

    // The folders currently watched directly (those that exist and could be watched).
    QStringList watchedFolders() const;

    // One inotify watch: on a watched folder, on an ancestor of a missing one, or both.
    struct Watch {
        bool onFolder = false;          // the watch is on the watched folder itself
        QSet<QByteArray> awaitedNames;  // children whose appearance would bring the folder back
    };
    using Watches = QHash<int, Watch>;  // by watch descriptor
    using Instance = std::shared_ptr<const int>;

Q_SIGNALS:
    void changed();

private:
    struct Folder {
        QString path;
        Instance instance;  // its inotify instance; closed when the last user lets go
        std::unique_ptr<QSocketNotifier> notifier;
        Watches watches;
        bool placing = false;  // watches are being placed on the folder's thread
        bool again = false;    // and must be placed anew once that is done
    };

    void place(std::size_t index, Instance instance);
    void placed(std::size_t index, const Instance& instance, const Watches& watches);
    void replace(std::size_t index);
    void readEvents(std::size_t index);

    std::vector<Folder> m_folders;
    quint32 m_folderMask;
    bool m_running = false;
    quint64 m_generation = 0;  // of start and stop; placements of an earlier one are dropped
    FolderWorker m_worker{this};
};

}  // namespace framlet
