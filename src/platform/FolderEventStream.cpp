#include "platform/FolderEventStream.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "platform/DebugLog.h"

namespace framlet {
namespace {

// Names, not contents, are what the watcher compares, so writes to files are not asked for.
// IN_ATTRIB catches a folder whose permissions change, which decides whether it can be listed.
constexpr quint32 kFolderMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
constexpr quint32 kAncestorMask =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
constexpr quint32 kWatchGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;
constexpr int kRebuildAttempts = 8;

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0 || path == u"/") {
        return QString();
    }
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

}  // namespace

FolderEventStream::FolderEventStream(QStringList folderPaths, Reports reports, QObject* parent)
    : QObject(parent)
    , m_folders(std::move(folderPaths))
    , m_folderMask(reports == Reports::NamesAndWrites ? kFolderMask | IN_CLOSE_WRITE
                                                      : kFolderMask) {
}

FolderEventStream::~FolderEventStream() {
    stop();
}

bool FolderEventStream::start() {
    if (isRunning()) {
        return true;
    }
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &FolderEventStream::readEvents);
    rebuildWatches();
    return true;
}

void FolderEventStream::stop() {
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd);  // closing the instance removes all its watches
        m_fd = -1;
    }
    m_watches.clear();
}

QStringList FolderEventStream::watchedFolders() const {
    QStringList folders;
    for (const Watch& watch : m_watches) {
        if (!watch.folder.isEmpty()) {
            folders.append(watch.folder);
        }
    }
    folders.sort();
    return folders;
}

void FolderEventStream::readEvents() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool contentsChanged = false;
    bool structureChanged = false;
    ssize_t length = 0;
    while ((length = ::read(m_fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                contentsChanged = structureChanged = true;
                continue;
            }
            const auto watch = m_watches.constFind(event->wd);
            if (watch == m_watches.cend()) {
                continue;  // a watch removed by a rebuild
            }
            const bool gone = event->mask & kWatchGone;
            if (!watch->folder.isEmpty()) {
                contentsChanged = true;
                structureChanged = structureChanged || gone;
            }
            if (!watch->awaitedNames.isEmpty()) {
                // An awaited name that comes back may point elsewhere now (a link retargeted):
                // its folder is listed afresh even when the watched paths stay the same.
                const bool awaited = event->len > 0 && watch->awaitedNames.contains(event->name);
                structureChanged = structureChanged || gone || awaited;
                contentsChanged = contentsChanged || awaited;
            }
        }
    }
    if (structureChanged) {
        const QStringList before = watchedFolders();
        rebuildWatches();
        contentsChanged = contentsChanged || watchedFolders() != before;
    }
    if (contentsChanged) {
        Q_EMIT changed();
    }
}

void FolderEventStream::rebuildWatches() {
    for (int attempt = 0; attempt < kRebuildAttempts; ++attempt) {
        for (auto it = m_watches.cbegin(); it != m_watches.cend(); ++it) {
            ::inotify_rm_watch(m_fd, it.key());
        }
        m_watches.clear();
        bool settled = true;
        for (const QString& folder : std::as_const(m_folders)) {
            const int wd = addWatch(folder, m_folderMask);
            if (wd >= 0) {
                m_watches[wd].folder = folder;
                watchLinkParent(folder);
            } else {
                settled = watchNearestAncestor(folder) && settled;
            }
        }
        if (settled) {
            return;
        }
    }
}

int FolderEventStream::addWatch(const QString& path, quint32 mask) {
    const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), mask);
    if (wd < 0 && errno != ENOENT && errno != ENOTDIR && errno != EACCES) {
        DebugLog::log(QStringLiteral("watcher: cannot watch %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return wd;
}

void FolderEventStream::watchLinkParent(const QString& folder) {
    if (!QFileInfo(folder).isSymLink()) {
        return;
    }
    const QString parent = parentOf(folder);
    const int wd = parent.isEmpty() ? -1 : addWatch(parent, kAncestorMask | IN_DELETE);
    if (wd >= 0) {
        m_watches[wd].awaitedNames.insert(
            QFile::encodeName(folder.mid(folder.lastIndexOf(u'/') + 1)));
    }
}

bool FolderEventStream::watchNearestAncestor(const QString& folder) {
    QString child = folder;
    for (QString parent = parentOf(folder); !parent.isEmpty(); parent = parentOf(parent)) {
        const int wd = addWatch(parent, kAncestorMask);
        if (wd >= 0) {
            m_watches[wd].awaitedNames.insert(
                QFile::encodeName(child.mid(child.lastIndexOf(u'/') + 1)));
            // Created between the failed attempt and this watch: its event was missed.
            return !QFileInfo::exists(child);
        }
        child = parent;
    }
    return true;
}

}  // namespace framlet
