#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "library/watcher/FolderListing.h"
#include "platform/FolderThreads.h"
#include "platform/TimerSource.h"

namespace framlet {

class ChangeCoalescer;
class FolderEventStream;

// Reports the image files that appear in and vanish from the watched folders. At start it lists
// what is there and reports the most recent files as seeds; afterwards every change in a folder
// lists that folder again in the background and reports the difference against the files it
// knew: removals first, then files whose contents changed, then new files. Never reads image
// contents, never recurses, never changes files.
//
// Every folder is listed on its own thread (FolderThreads), so a folder on a mount that never
// answers holds up nothing else: once its listing outlasts the patience the folder is logged as
// not answering, the others are seeded without it, and its files are reported (as seeds, the
// first time) when it answers again. Until then no further listing of it is started.
//
// Lives on the main thread; every report arrives there. A stopped or destroyed watcher reports
// nothing more.
class ScreenshotWatcher : public QObject {
    Q_OBJECT

public:
    using Listing = QList<ListedFile>;
    using ListFunction = std::function<FolderListing::Result(const QUrl& folder)>;

    // The events of one burst that are merged into a single listing after the first.
    static constexpr std::chrono::milliseconds latency{300};
    // How long a folder's listing may take before the folder counts as not answering. Long
    // enough for a disk to spin up or a share to reconnect.
    static constexpr std::chrono::seconds patience{5};

    static Listing listImageFiles(const QUrl& folder);
    // Each folder in turn, keeping only the first pair for a URL listed twice.
    static Listing listImageFiles(const QList<QUrl>& folders);

    // Folders whose paths equal an earlier one's are dropped.
    ScreenshotWatcher(const QList<QUrl>& folders, TimerSource& timers, QObject* parent = nullptr);
    ~ScreenshotWatcher() override;

    QList<QUrl> folders() const { return m_folders; }
    QSet<QUrl> knownFiles() const;
    // Every file of the watched folders as last listed, with its stamp.
    const QHash<QUrl, FileStamp>& knownStamps() const { return m_knownFiles; }
    // Whether every folder has been listed and none is not answering now: only then do the
    // known files say which files are gone.
    bool listedAll() const;
    // Whether the event stream runs: false before start, after stop, and when it could not be
    // opened (then only explicit rescans find changes).
    bool isWatching() const;
    bool hasSeeded() const { return m_seeded; }

    // Replaces how each folder is listed (on its thread); for tests that need to hold a listing
    // back.
    void setListFunction(ListFunction list) { m_list = std::move(list); }

    // Seeds up to seedRecent of the newest files, then follows changes. Called once.
    void start(int seedRecent);
    // Lists the folders again in the background and integrates the results.
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
    // A listing was applied and its changes reported.
    void listed();

private:
    // What is known of one folder's listings.
    struct FolderState {
        bool listing = false;  // a listing runs, or waits, on the folder's thread
        bool again = false;    // another was asked for meanwhile
        bool stalled = false;  // the one under way outlasted the patience
        bool listed = false;   // a listing of it was applied
        std::optional<FolderListing::Result> early;  // arrived before the others were seeded
        std::unique_ptr<Timer> patience;
    };

    void list(std::size_t index);
    void listingArrived(std::size_t index, FolderListing::Result result);
    void stalled(std::size_t index);
    void seedIfReady();
    void seed(const Listing& listing);
    // Reports the newest of the files as seeds and knows them all; false when that destroyed or
    // stopped the watcher.
    bool reportSeeds(const Listing& listing);
    void apply(std::size_t index, const FolderListing::Result& result);
    void beginWatching();
    void folderChanged();

    QList<QUrl> m_folders;
    std::vector<FolderState> m_states;  // one per folder
    ListFunction m_list;                // empty: the folders themselves
    QHash<QUrl, FileStamp> m_knownFiles;
    std::unique_ptr<FolderEventStream> m_stream;
    ChangeCoalescer* m_coalescer = nullptr;
    int m_seedRecent = 0;
    bool m_started = false;
    bool m_seeded = false;
    bool m_stopped = false;
    FolderWorker m_worker{this};
};

}  // namespace framlet
