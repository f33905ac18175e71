#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QFile;

namespace framlet {

// Opens a path only when it names a regular file, and never waits doing so. Files in a watched
// folder come from any program and may be swapped between a look at the name and its opening:
// the descriptor itself is checked after a non-blocking open, so a FIFO, a device or a socket is
// refused instead of stopping the thread that opened it. Safe to call from any thread.
namespace RegularFile {

enum class Links {
    follow,  // the user's own files (preferences), which may be kept behind a link
    refuse,  // untrusted folders: a link is not a file of that folder
};

enum class Status { opened, missing, notRegular, tooLarge, unreadable };

struct Opened {
    Status status = Status::missing;
    QString error;  // for log lines; empty when opened
    bool ok() const { return status == Status::opened; }
};

// On success `file` is open for reading and owns the descriptor. maxBytes < 0 means no limit.
Opened open(const QString& path, Links links, QFile& file, qint64 maxBytes = -1);

struct Contents {
    Opened opened;
    QByteArray bytes;
};

// The whole file, when it is a regular file of at most maxBytes (reading stops there even if the
// file grows meanwhile): for small files of the user's or of other programs.
Contents readAll(const QString& path, Links links, qint64 maxBytes);

// Runs right before every open; lets a test swap the path for something else at the worst moment.
void setBeforeOpenForTesting(std::function<void(const QString& path)> hook);

}  // namespace RegularFile
}  // namespace framlet
