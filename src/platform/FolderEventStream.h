#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <memory>

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
class FolderEventStream : public QObject {
    Q_OBJECT

public:
    // Names: files created, deleted or renamed. Writes: also files written and closed, for
    // settings files that programs rewrite in place.
    enum class Reports { Names, NamesAndWrites };

    explicit FolderEventStream(QStringList folderPaths, Reports reports = Reports::Names,
                               QObject* parent = nullptr);
    ~FolderEventStream() override;

    // Opens the event source; false when the system refuses one (inotify instance limit).
    bool start();
    void stop();
    bool isRunning() const { return m_fd >= 0; }

    // The folders currently watched directly (those that exist and could be watched).
    QStringList watchedFolders() const;

Q_SIGNALS:
    void changed();

private:
    // One inotify watch: on a watched folder, on an ancestor of missing folders, or both.
    struct Watch {
        QString folder;                 // set when the watch is on a watched folder
        QSet<QByteArray> awaitedNames;  // children whose appearance would bring a folder back
    };

    void readEvents();
    // Removes every watch and adds them again, until no awaited folder appeared in between.
    void rebuildWatches();
    int addWatch(const QString& path, quint32 mask);
    // A watch follows a link to the folder it names at that moment: the link's own folder is
    // watched too, so that the link replaced or pointed elsewhere is followed.
    void watchLinkParent(const QString& folder);
    // False when the next folder on the way appeared meanwhile, so its event may be lost.
    bool watchNearestAncestor(const QString& folder);

    QStringList m_folders;
    quint32 m_folderMask;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<int, Watch> m_watches;  // by watch descriptor
};

}  // namespace framlet
