#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <functional>
#include <memory>

#include "library/FolderListing.h"
#include "library/TimerSource.h"

namespace framlet {

class ChangeCoalescer;
class FolderEventStream;
class Settings;

// Reports the image files that appear in and vanish from the watched folders. At start it lists
// what is there and reports the most recent files as seeds; afterwards every change in a folder
// lists the folders again in the background and reports the difference against the files it
// knew: removals first, then files whose contents changed, then new files. Never reads image
// contents, never recurses, never changes files.
//
// Lives on the main thread; every report arrives there. A stopped or destroyed watcher reports
// nothing more.
class ScreenshotWatcher : public QObject {
    Q_OBJECT

public:
    using Listing = QList<ListedFile>;
    using ListFunction = std::function<Listing(const QList<QUrl>& folders)>;

    // The events of one burst that are merged into a single listing after the first.
    static constexpr std::chrono::milliseconds latency{300};

    // The folders to watch now: the configured ones ("~" expanded) in their stored order, or the
    // screenshot location when none are configured. Whether they exist is not tested.
    static QList<QUrl> resolvedFolders(Settings& settings);
    // The same, looked up on the pool: the screenshot location may take a child process
    // (gsettings) to learn. `done` runs on the main thread, and only while `context` lives.
    static void resolveFoldersInBackground(Settings& settings, QObject* context,
                                           std::function<void(const QList<QUrl>&)> done);
    // Where the desktop's screenshot tool saves, or the Desktop folder. Never fails.
    static QUrl screenshotLocation();

    static Listing listImageFiles(const QUrl& folder);
    // Each folder in turn, keeping only the first pair for a URL listed twice.
    static Listing listImageFiles(const QList<QUrl>& folders);

    // Folders whose paths equal an earlier one's are dropped.
    ScreenshotWatcher(const QList<QUrl>& folders, TimerSource& timers, QObject* parent = nullptr);
    ~ScreenshotWatcher() override;

    QList<QUrl> folders() const { return m_folders; }
    QSet<QUrl> knownFiles() const;
    // Whether the event stream runs: false before start, after stop, and when it could not be
    // opened (then only explicit rescans find changes).
    bool isWatching() const;
    bool hasSeeded() const { return m_seeded; }

    // Replaces how the folders are listed (in the background); for tests that need to hold a
    // listing back. Such a listing counts every folder as read.
    void setListFunction(ListFunction list) { m_list = std::move(list); }

    // Seeds up to seedRecent of the newest files, then follows changes. Called once.
    void start(int seedRecent);
    // Lists the folders again in the background and integrates the result.
    void rescan();
    // Applies a fresh listing: reports what vanished, then what is new, oldest first. Files known
    // in an unreadable folder (one that exists but could not be listed) are kept as they were.
    void integrate(const Listing& listing, const QSet<QString>& unreadableFolders = {});
    // Ends the event stream; nothing more is reported, not even listings still under way.
    void stop();

Q_SIGNALS:
    // A file to show: a seed found at start, or one that appeared since (isSeed false).
    void fileFound(const QUrl& url, const QDateTime& createdAt, bool isSeed);
    // Files that vanished; told before the new files of the same listing.
    void filesRemoved(const QList<QUrl>& urls);
    // Known files whose contents changed (overwritten in place, or another file renamed over
    // them); told after the removals and before the new files of the same listing.
    void filesChanged(const QList<QUrl>& urls);
    // The seeds were reported; changes are followed from here on.
    void seeded();

private:
    struct Snapshot {
        Listing files;
        QSet<QString> unreadableFolders;
    };
    static Snapshot snapshot(const QList<QUrl>& folders);
    void listInBackground(quint64 ticket);
    void listingArrived(quint64 ticket, const Snapshot& snapshot);
    void seed(const Listing& listing);
    void beginWatching();
    void folderChanged();

    QList<QUrl> m_folders;
    ListFunction m_list;  // empty: the folders themselves
    QHash<QUrl, FileStamp> m_knownFiles;
    std::unique_ptr<FolderEventStream> m_stream;
    ChangeCoalescer* m_coalescer = nullptr;
    int m_seedRecent = 0;
    bool m_started = false;
    bool m_seeded = false;
    bool m_stopped = false;
    bool m_rescanAfterSeeding = false;
    quint64 m_nextTicket = 0;
    quint64 m_appliedTicket = 0;
};

}  // namespace framlet
