#include "platform/FolderEventStream.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/DebugLog.h"

namespace framlet {
namespace {

using Watches = FolderEventStream::Watches;

// Names, not contents, are what the watcher compares, so writes to files are not asked for.
// IN_ATTRIB catches a folder whose permissions change, which decides whether it can be listed.
constexpr quint32 kFolderMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
constexpr quint32 kAncestorMask =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
constexpr quint32 kWatchGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;
constexpr int kPlacementAttempts = 8;

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0 || path == u"/") {
        return QString();
    }
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QByteArray lastNameOf(const QString& path) {
    return QFile::encodeName(path.mid(path.lastIndexOf(u'/') + 1));
}

FolderEventStream::Instance openInstance() {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    return FolderEventStream::Instance(new int(fd), [](const int* descriptor) {
        ::close(*descriptor);  // closing the instance removes all its watches
        delete descriptor;
    });
}

// From here on everything runs on the folder's thread: it looks the folder up.

int addWatch(int fd, const QString& path, quint32 mask) {
    const int wd = ::inotify_add_watch(fd, QFile::encodeName(path).constData(), mask);
    if (wd < 0 && errno != ENOENT && errno != ENOTDIR && errno != EACCES) {
        DebugLog::log(QStringLiteral("watcher: cannot watch %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return wd;
}

// A watch follows a link to the folder it names at that moment: the link's own folder is
// watched too, so that the link replaced or pointed elsewhere is followed.
void watchLinkParent(int fd, const QString& folder, Watches& watches) {
    if (!QFileInfo(folder).isSymLink()) {
        return;
    }
    const QString parent = parentOf(folder);
    const int wd = parent.isEmpty() ? -1 : addWatch(fd, parent, kAncestorMask | IN_DELETE);
    if (wd >= 0) {
        watches[wd].awaitedNames.insert(lastNameOf(folder));
    }
}

// False when the next folder on the way appeared meanwhile, so its event may be lost.
bool watchNearestAncestor(int fd, const QString& folder, Watches& watches) {
    QString child = folder;
    for (QString parent = parentOf(folder); !parent.isEmpty(); parent = parentOf(parent)) {
        const int wd = addWatch(fd, parent, kAncestorMask);
        if (wd >= 0) {
            watches[wd].awaitedNames.insert(lastNameOf(child));
            // Created between the failed attempt and this watch: its event was missed.
            return !QFileInfo::exists(child);
        }
        child = parent;
    }
    return true;
}

// Watches the folder, or else its nearest ancestor, until no awaited folder appeared in between.
Watches placeWatches(int fd, const QString& folder, quint32 mask) {
    Watches watches;
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
        for (auto it = watches.cbegin(); it != watches.cend(); ++it) {
            ::inotify_rm_watch(fd, it.key());
        }
        watches.clear();
        const int wd = addWatch(fd, folder, mask);
        if (wd >= 0) {
            watches[wd].onFolder = true;
            watchLinkParent(fd, folder, watches);
            return watches;
        }
        if (watchNearestAncestor(fd, folder, watches)) {
            return watches;
        }
    }
    return watches;
}

}  // namespace

FolderEventStream::FolderEventStream(QStringList folderPaths, Reports reports, QObject* parent)
    : QObject(parent)
    , m_folderMask(reports == Reports::NamesAndWrites ? kFolderMask | IN_CLOSE_WRITE
                                                      : kFolderMask) {
    for (QString& path : folderPaths) {
        m_folders.emplace_back().path = std::move(path);
    }
}

FolderEventStream::~FolderEventStream() {
    stop();
}

bool FolderEventStream::start() {
    if (m_running) {
        return true;
    }
    std::vector<Instance> instances;
    for (std::size_t i = 0; i < m_folders.size(); ++i) {
        instances.push_back(openInstance());
        if (!instances.back()) {
            return false;
        }
    }
    m_running = true;
    for (std::size_t i = 0; i < m_folders.size(); ++i) {
        place(i, instances[i]);
    }
    return true;
}

void FolderEventStream::stop() {
    ++m_generation;
    m_running = false;
    for (Folder& folder : m_folders) {
        folder.notifier.reset();
        folder.instance.reset();
        folder.watches.clear();
        folder.placing = folder.again = false;
    }
}

bool FolderEventStream::isSettled() const {
    return m_running && std::none_of(m_folders.cbegin(), m_folders.cend(),
                                     [](const Folder& folder) { return folder.placing; });
}

QStringList FolderEventStream::watchedFolders() const {
    QStringList folders;
    for (const Folder& folder : m_folders) {
        for (const Watch& watch : folder.watches) {
            if (watch.onFolder) {
                folders.append(folder.path);
                break;
            }
        }
    }
    folders.sort();
    return folders;
}

void FolderEventStream::place(std::size_t index, Instance instance) {
    Folder& folder = m_folders[index];
    folder.placing = true;
    const quint64 generation = m_generation;
    m_worker.run(folder.path,
                 [this, index, generation, instance, path = folder.path,
                  mask = m_folderMask]() -> FolderWorker::Reply {
                     const Watches watches = placeWatches(*instance, path, mask);
                     return [this, index, generation, instance, watches] {
                         if (generation == m_generation) {
                             placed(index, instance, watches);
                         }
                     };
                 });
}

void FolderEventStream::placed(std::size_t index, const Instance& instance,
                               const Watches& watches) {
    Folder& folder = m_folders[index];
    const bool first = !folder.instance;
    folder.notifier.reset();  // before its descriptor closes
    folder.instance = instance;
    folder.watches = watches;
    folder.notifier = std::make_unique<QSocketNotifier>(*instance, QSocketNotifier::Read);
    connect(folder.notifier.get(), &QSocketNotifier::activated, this,
            [this, index] { readEvents(index); });
    folder.placing = false;
    if (std::exchange(folder.again, false)) {
        replace(index);
    }
    if (!first) {
        Q_EMIT changed();  // what happened while the watches were placed anew went unseen
    }
}

// Placed on a fresh instance: the old watches go with the old instance, so none of their events
// is mistaken for one of the new watches.
void FolderEventStream::replace(std::size_t index) {
    Folder& folder = m_folders[index];
    if (folder.placing) {
        folder.again = true;
        return;
    }
    Instance instance = openInstance();
    if (!instance) {
        DebugLog::log(QStringLiteral("watcher: cannot watch %1 anew: %2")
                          .arg(folder.path, QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    place(index, std::move(instance));
}

void FolderEventStream::readEvents(std::size_t index) {
    const Folder& folder = m_folders[index];
    alignas(inotify_event) char buffer[16 * 1024];
    bool contentsChanged = false;
    bool structureChanged = false;
    ssize_t length = 0;
    while ((length = ::read(*folder.instance, buffer, sizeof buffer)) > 0) {
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                contentsChanged = structureChanged = true;
                continue;
            }
            const auto watch = folder.watches.constFind(event->wd);
            if (watch == folder.watches.cend()) {
                continue;  // a watch removed while placing
            }
            const bool gone = event->mask & kWatchGone;
            if (watch->onFolder) {
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
        replace(index);
    }
    if (contentsChanged) {
        Q_EMIT changed();
    }
}

}  // namespace framlet
