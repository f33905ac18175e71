#include "library/decoding/FileStamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QFile>

namespace framlet {

FileStamp FileStamp::of(const QString& filePath) {
    struct statx status {};
    if (::statx(AT_FDCWD, QFile::encodeName(filePath).constData(),
                AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MTIME | STATX_SIZE | STATX_INO,
                &status) != 0) {
        return {};
    }
    return from(status);
}

FileStamp FileStamp::from(const struct statx& status) {
    const bool complete = (status.stx_mask & (STATX_SIZE | STATX_MTIME | STATX_INO)) ==
                          (STATX_SIZE | STATX_MTIME | STATX_INO);
    if (!complete) {
        return {};
    }
    return {qint64(status.stx_size),
            qint64(status.stx_mtime.tv_sec) * 1'000'000'000 + status.stx_mtime.tv_nsec,
            status.stx_ino, makedev(status.stx_dev_major, status.stx_dev_minor)};
}

}  // namespace framlet
