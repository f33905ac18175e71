#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class QIODevice;

namespace framlet {

// Replacing the contents of a file so that it holds either all of its old bytes or all of the new
// ones, whatever happens meanwhile: a full disk, a crash, a power cut. The new bytes go to a
// temporary file beside the old one, and only once every byte of it has reached the disk (each
// write checked, then fsync) does it take the file's name. Safe to call from any thread.
//
// The file is the user's, or another program's, so its identity is kept: a symbolic link is
// followed and stays a link, and the file keeps its permissions and, where allowed, its owner.
// A file that has other hard links is rewritten in place instead, so that its names stay one
// file; its room is reserved first, so a full disk still leaves it as it was.
namespace AtomicFile {

enum class HardLinks {
    keep,   // rewrite a hard-linked file in place (settings files)
    split,  // always rename over the name (a program that may be running)
};

struct Options {
    // Permission bits of a file that does not exist yet; the umask applies.
    unsigned newFileMode = 0644;
    // Bits added to whatever the file had, e.g. the executable bits of a program.
    unsigned addedMode = 0;
    HardLinks hardLinks = HardLinks::keep;
};

// Each returns why the file was left as it was, or nothing when it now holds every new byte.
std::optional<QString> replace(const QString& path, const QByteArray& bytes,
                               const Options& options = {});
// Streams the new contents from an open device (a downloaded release need not fit in memory).
std::optional<QString> replace(const QString& path, QIODevice& source, const Options& options = {});

// The file a path finally names once its symbolic links are followed (the path itself when it is
// none). A link that leads nowhere names the file it would create; a loop gives an empty string.
QString resolveLinks(const QString& path);

}  // namespace AtomicFile
}  // namespace framlet
