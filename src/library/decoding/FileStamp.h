#pragma once

#include <QString>
#include <QtGlobal>

struct statx;

namespace framlet {

// What tells one content of a file from the next: a file overwritten in place changes its size
// or modification time, one renamed over it is another inode (on its device). Unknown (all 0) when
// not read.
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    bool known() const { return inode != 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;

    // The stamp of one file (its link, not what it points to); unknown when it cannot be read.
    static FileStamp of(const QString& filePath);
    // From what statx(2) gave with at least STATX_SIZE | STATX_MTIME | STATX_INO.
    static FileStamp from(const struct statx& status);
};

}  // namespace framlet
