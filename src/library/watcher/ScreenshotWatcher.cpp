#include "library/watcher/ScreenshotWatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QPointer>
#include <algorithm>

#include "library/watcher/ChangeCoalescer.h"
#include "platform/DebugLog.h"
#include "platform/FolderEventStream.h"

namespace framlet {
namespace {

QList<QUrl> withoutDuplicates(const QList<QUrl>& folders) {
    QList<QUrl> unique;
    QSet<QString> seen;
    for (const QUrl& folder : folders) {
        const QString path = QDir::cleanPath(folder.toLocalFile());
        if (!seen.contains(path)) {
            seen.insert(path);
            unique.append(QUrl::fromLocalFile(path));
        }
    }
    return unique;
}

QStringList localPaths(const QList<QUrl>& folders) {
    QStringList paths;
    for (const QUrl& folder : folders) {
        paths.append(folder.toLocalFile());
    }
    return paths;
}

QString folderNames(const QList<QUrl>& folders) {
    QStringList names;
    for (const QUrl& folder : folders) {
        names.append(QFileInfo(folder.toLocalFile()).fileName());
    }
    return names.join(QStringLiteral(", "));
}

// Said once per folder and run: the names do not change by being listed again.
void noteUndecodableNames(const QString& path, int count) {
    static QMutex mutex;
    static QSet<QString> noted;
    const QMutexLocker lock(&mutex);
    if (count <= 0 || noted.contains(path)) {
        return;
    }
    noted.insert(path);
    DebugLog::log(QStringLiteral("watcher: skipped %1 file(s) in %2 whose names are not "
                                 "valid UTF-8; rename them to show them")
                      .arg(count)
                      .arg(path));
}

FolderListing::Result listFolder(const QUrl& folder) {
    const QString path = folder.toLocalFile();
    FolderListing::Result result = FolderListing::list(path);
    noteUndecodableNames(path, result.undecodableNames);
    return result;
}

void appendNew(ScreenshotWatcher::Listing& all, QSet<QUrl>& seen,
               ScreenshotWatcher::Listing&& files) {
    for (ListedFile& file : files) {
        if (!seen.contains(file.url)) {
            seen.insert(file.url);
            all.append(std::move(file));
        }
    }
}

QString folderOf(const QUrl& file) {
    const QString path = file.toLocalFile();
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// The folders said not to answer; each is told once, until it answers again, however many
// watchers wait on it meanwhile. Kept on the main thread, where the watchers live.
QSet<QString>& unansweredFolders() {
    static QSet<QString> folders;
    return folders;
}

void noteUnanswered(const QString& path) {
    if (!unansweredFolders().contains(path)) {
        unansweredFolders().insert(path);
        DebugLog::log(QStringLiteral("watcher: %1 does not answer; watching it is paused")
                          .arg(DebugLog::escaped(path)));
    }
}

void noteAnswered(const QString& path) {
    if (unansweredFolders().remove(path)) {
        DebugLog::log(QStringLiteral("watcher: %1 answers again; watching it resumes")
                          .arg(DebugLog::escaped(path)));
    }
}

}  // namespace

ScreenshotWatcher::Listing ScreenshotWatcher::listImageFiles(const QUrl& folder) {
    return std::move(listFolder(folder).files);
}

ScreenshotWatcher::Listing ScreenshotWatcher::listImageFiles(const QList<QUrl>& folders) {
    Listing all;
    QSet<QUrl> seen;
    for (const QUrl& folder : folders) {
        appendNew(all, seen, listImageFiles(folder));
    }
    return all;
}

ScreenshotWatcher::ScreenshotWatcher(const QList<QUrl>& folders, TimerSource& timers,
                                     QObject* parent)
    : QObject(parent)
    , m_folders(withoutDuplicates(folders))
    , m_states(m_folders.size())
    , m_coalescer(new ChangeCoalescer(latency, timers, this)) {
    connect(m_coalescer, &ChangeCoalescer::fired, this, &ScreenshotWatcher::folderChanged);
    for (std::size_t i = 0; i < m_states.size(); ++i) {
        m_states[i].patience = timers.makeTimer();
        connect(m_states[i].patience.get(), &Timer::timedOut, this, [this, i] { stalled(i); });
    }
}

ScreenshotWatcher::~ScreenshotWatcher() = default;

QSet<QUrl> ScreenshotWatcher::knownFiles() const {
    QSet<QUrl> urls;
    urls.reserve(m_knownFiles.size());
    for (auto known = m_knownFiles.cbegin(); known != m_knownFiles.cend(); ++known) {
        urls.insert(known.key());
    }
    return urls;
}

bool ScreenshotWatcher::listedAll() const {
    return m_seeded &&
           std::all_of(m_states.cbegin(), m_states.cend(),
                       [](const FolderState& state) { return state.listed && !state.stalled; });
}

bool ScreenshotWatcher::isWatching() const {
    return m_stream && m_stream->isRunning();
}

void ScreenshotWatcher::start(int seedRecent) {
    if (m_started || m_stopped) {
        return;
    }
    m_started = true;
    m_seedRecent = seedRecent;
    DebugLog::log(QStringLiteral("watcher: seeding %1 folder(s) …").arg(m_folders.size()));
    // The stream's watches are placed on the folders' threads ahead of the first listings, so a
    // file written while the folders are being listed still causes a rescan once seeding is done.
    if (!m_folders.isEmpty()) {
        // Writes too: a screenshot overwritten in place changes no name.
        m_stream = std::make_unique<FolderEventStream>(localPaths(m_folders),
                                                       FolderEventStream::Reports::NamesAndWrites);
        connect(m_stream.get(), &FolderEventStream::changed, m_coalescer, &ChangeCoalescer::notice);
        if (!m_stream->start()) {
            m_stream.reset();
        }
    }
    rescan();
    seedIfReady();  // at once when there is nothing to list
}

void ScreenshotWatcher::rescan() {
    if (!m_started || m_stopped) {
        return;
    }
    for (std::size_t i = 0; i < m_states.size(); ++i) {
        list(i);
    }
}

void ScreenshotWatcher::stop() {
    m_stopped = true;
    m_stream.reset();
    m_coalescer->reset();
    for (FolderState& state : m_states) {
        state.patience->stop();
    }
}

// One listing per folder at a time: a folder that does not answer holds one thread, and what is
// asked meanwhile is one more listing once it answers. Before seeding, each folder is listed
// once; files that appear meanwhile are found by the listing that follows, as new files.
void ScreenshotWatcher::list(std::size_t index) {
    FolderState& state = m_states[index];
    if (state.listing || (!m_seeded && state.early)) {
        state.again = true;
        return;
    }
    state.listing = true;
    if (!state.stalled) {
        state.patience->start(patience, false);
    }
    m_worker.run(m_folders[index].toLocalFile(),
                 [this, index, folder = m_folders[index], list = m_list]() -> FolderWorker::Reply {
                     FolderListing::Result result = list ? list(folder) : listFolder(folder);
                     return [this, index, result = std::move(result)] {
                         listingArrived(index, result);
                     };
                 });
}

void ScreenshotWatcher::listingArrived(std::size_t index, FolderListing::Result result) {
    FolderState& state = m_states[index];
    state.listing = false;
    state.stalled = false;
    state.patience->stop();
    noteAnswered(m_folders[index].toLocalFile());
    if (m_stopped) {
        return;
    }
    if (!m_seeded) {
        state.early = std::move(result);
        seedIfReady();
        return;
    }
    const QPointer<ScreenshotWatcher> self(this);
    apply(index, result);
    if (self && !m_stopped && std::exchange(m_states[index].again, false)) {
        list(index);
    }
}

void ScreenshotWatcher::stalled(std::size_t index) {
    m_states[index].stalled = true;
    noteUnanswered(m_folders[index].toLocalFile());
    seedIfReady();
}

// Once every folder answered or is known not to answer.
void ScreenshotWatcher::seedIfReady() {
    if (m_seeded || m_stopped) {
        return;
    }
    for (const FolderState& state : m_states) {
        if (state.listing && !state.stalled) {
            return;
        }
    }
    Listing listing;
    QSet<QUrl> seen;
    for (FolderState& state : m_states) {
        if (state.early) {
            appendNew(listing, seen, std::move(state.early->files));
            state.early.reset();
            state.listed = true;
        }
    }
    const QPointer<ScreenshotWatcher> self(this);
    seed(listing);
    for (std::size_t i = 0; self && !m_stopped && i < m_states.size(); ++i) {
        if (std::exchange(m_states[i].again, false)) {
            list(i);
        }
    }
}

void ScreenshotWatcher::seed(const Listing& listing) {
    m_seeded = true;
    m_knownFiles.clear();
    if (!reportSeeds(listing)) {
        return;
    }
    DebugLog::log(QStringLiteral("watcher: seeded, %1 existing file(s)").arg(listing.size()));
    beginWatching();
    const QPointer<ScreenshotWatcher> self(this);
    Q_EMIT seeded();
    if (self && !m_stopped) {
        Q_EMIT listed();
    }
}

bool ScreenshotWatcher::reportSeeds(const Listing& listing) {
    for (const ListedFile& file : listing) {
        m_knownFiles.insert(file.url, file.stamp);
    }
    Listing newestFirst = listing;
    std::stable_sort(
        newestFirst.begin(), newestFirst.end(),
        [](const ListedFile& a, const ListedFile& b) { return a.createdAt > b.createdAt; });
    const qsizetype count = std::clamp<qsizetype>(m_seedRecent, 0, newestFirst.size());
    const QPointer<ScreenshotWatcher> self(this);
    for (qsizetype i = count - 1; i >= 0; --i) {
        Q_EMIT fileFound(newestFirst[i].url, newestFirst[i].createdAt, true);
        if (!self || m_stopped) {
            return false;
        }
    }
    return true;
}

// A listing speaks for its own folder only: the files of the others stay as last seen.
void ScreenshotWatcher::apply(std::size_t index, const FolderListing::Result& result) {
    FolderState& state = m_states[index];
    if (!state.listed) {
        // A folder that answered only after seeding: its files were there before, not captured.
        state.listed = true;
        if (reportSeeds(result.files)) {
            Q_EMIT listed();
        }
        return;
    }
    QSet<QString> untouched;
    for (qsizetype i = 0; i < m_folders.size(); ++i) {
        if (std::size_t(i) != index || (!result.readable && !result.gone)) {
            untouched.insert(m_folders[i].toLocalFile());
        }
    }
    integrate(result.files, untouched);
}

void ScreenshotWatcher::beginWatching() {
    if (m_folders.isEmpty()) {
        return;
    }
    if (!m_stream) {
        DebugLog::log(QStringLiteral("watcher: FSEventStreamCreate FAILED"));
    } else {
        DebugLog::log(QStringLiteral("watcher: FSEvents watching ") + folderNames(m_folders));
    }
}

void ScreenshotWatcher::folderChanged() {
    if (m_stopped) {
        return;
    }
    DebugLog::log(QStringLiteral("watcher: folder change event"));
    rescan();
}
void ScreenshotWatcher::integrate(const Listing& listing, const QSet<QString>& unreadableFolders) {
    if (m_stopped) {
        return;
    }
    QHash<QUrl, FileStamp> current;
    current.reserve(listing.size());
    // A folder briefly unreadable says nothing about its files: they stay as last seen, so they
    // are not removed now and added again as new captures later.
    for (auto known = m_knownFiles.cbegin(); known != m_knownFiles.cend(); ++known) {
        if (unreadableFolders.contains(folderOf(known.key()))) {
            current.insert(known.key(), known.value());
        }
    }
    Listing added;
    QList<QUrl> changed;
    for (const ListedFile& file : listing) {
        current.insert(file.url, file.stamp);
        const auto known = m_knownFiles.constFind(file.url);
        if (known == m_knownFiles.cend()) {
            added.append(file);
        } else if (known->known() && file.stamp.known() && *known != file.stamp) {
            changed.append(file.url);
        }
    }
    QList<QUrl> removed;
    for (auto known = m_knownFiles.cbegin(); known != m_knownFiles.cend(); ++known) {
        if (!current.contains(known.key())) {
            removed.append(known.key());
        }
    }
    m_knownFiles = std::move(current);

    if (!added.isEmpty()) {
        DebugLog::log(QStringLiteral("watcher: detected %1 new file(s)").arg(added.size()));
    }
    const QPointer<ScreenshotWatcher> self(this);
    if (!removed.isEmpty()) {
        DebugLog::log(QStringLiteral("watcher: detected %1 removed file(s)").arg(removed.size()));
        Q_EMIT filesRemoved(removed);
        if (!self || m_stopped) {
            return;
        }
    }
    if (!changed.isEmpty()) {
        DebugLog::log(QStringLiteral("watcher: detected %1 changed file(s)").arg(changed.size()));
        Q_EMIT filesChanged(changed);
        if (!self || m_stopped) {
            return;
        }
    }
    std::stable_sort(added.begin(), added.end(), [](const ListedFile& a, const ListedFile& b) {
        return a.createdAt < b.createdAt;
    });
    for (const ListedFile& file : std::as_const(added)) {
        Q_EMIT fileFound(file.url, file.createdAt, false);
        if (!self || m_stopped) {
            return;
        }
    }
    Q_EMIT listed();
}

}  // namespace framlet
