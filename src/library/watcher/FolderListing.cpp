#include "library/watcher/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <memory>

#include "library/decoding/ImageDecoder.h"

namespace framlet {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

qint64 milliseconds(const statx_timestamp& time) {
    return time.tv_sec * 1000 + time.tv_nsec / 1'000'000;
}

// Birth time where the file system keeps one (ext4, btrfs, xfs, tmpfs), else the last
// modification: on file systems without birth times a screenshot is written once, so the two
// agree closely enough to order the shelf.
QDateTime creationDate(const struct statx& status) {
    if (status.stx_mask & STATX_BTIME) {
        return QDateTime::fromMSecsSinceEpoch(milliseconds(status.stx_btime), Qt::UTC);
    }
    if (status.stx_mask & STATX_MTIME) {
        return QDateTime::fromMSecsSinceEpoch(milliseconds(status.stx_mtime), Qt::UTC);
    }
    return FolderListing::distantPast();
}

bool mayBeRegularFile(const dirent& entry) {
    return entry.d_type == DT_REG || entry.d_type == DT_UNKNOWN;
}

}  // namespace

QDateTime FolderListing::distantPast() {
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

FolderListing::Result FolderListing::list(const QString& folderPath) {
    Result result;
    const int dirFd =
        ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        result.gone = errno == ENOENT || errno == ENOTDIR;
        return result;
    }
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(dirFd));
    if (!dir) {
        ::close(dirFd);
        return result;
    }
    result.readable = true;
    const QString prefix = folderPath.endsWith(u'/') ? folderPath : folderPath + u'/';
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' || !mayBeRegularFile(*entry)) {
            continue;
        }
        const QString fileName = QFile::decodeName(name);
        if (!ImageDecoder::hasImageExtension(fileName)) {
            continue;
        }
        if (QFile::encodeName(fileName) != QByteArrayView(name)) {
            ++result.undecodableNames;
            continue;
        }
        struct statx status {};
        // Not following links: a symbolic link is not a regular file, whatever it points to.
        if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_BTIME | STATX_MTIME | STATX_SIZE | STATX_INO,
                    &status) != 0 ||
            !(status.stx_mask & STATX_TYPE) || !S_ISREG(status.stx_mode)) {
            continue;
        }
        result.files.append({QUrl::fromLocalFile(prefix + fileName), creationDate(status),
                             FileStamp::from(status)});
    }
    return result;
}

}  // namespace framlet
