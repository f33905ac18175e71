#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

namespace framlet::AtomicFile {
namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit for a path
constexpr qint64 kChunkBytes = 1 << 20;
// A hard-linked file is rewritten from memory; settings files are far smaller than this.
constexpr qint64 kMaxInPlaceBytes = 64 << 20;

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// Closes a descriptor on every path out of a function.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // close(2) reports late write errors of some file systems (NFS), so it is checked too.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char* data, qint64 size, off_t offset = -1) {
    while (size > 0) {
        const ssize_t written = offset < 0 ? ::write(fd, data, static_cast<size_t>(size))
                                           : ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= written;
        if (offset >= 0) {
            offset += written;
        }
    }
    return true;
}

// Copies the whole source into the descriptor; false with errno set, or EIO for a source error.
bool copyInto(QIODevice& source, int fd) {
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 read = source.read(chunk.data(), chunk.size());
        if (read < 0) {
            errno = EIO;
            return false;
        }
        if (read == 0) {
            return true;
        }
        if (!writeAll(fd, chunk.constData(), read)) {
            return false;
        }
    }
}

struct Temporary {
    QByteArray path;
    int fd = -1;
};

// A new file beside the target, never an existing one and never through a link.
Temporary createTemporary(const QString& target, unsigned mode) {
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            QStringLiteral("%1/.%2.%3.tmp")
                .arg(info.path(), info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        Temporary temporary{native(name), -1};
        temporary.fd = ::open(temporary.path.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (temporary.fd >= 0 || errno != EEXIST) {
            return temporary;
        }
    }
    return {};
}

void syncFolder(const QString& file) {
    // The rename is only durable once the folder's entry is; a failure here loses nothing.
    const Descriptor folder(
        ::open(native(QFileInfo(file).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
}

std::optional<QString> failure(const QString& what, const QString& path, int error) {
    return QStringLiteral("%1 %2: %3").arg(what, path, errnoText(error));
}

std::optional<QString> replaceByRename(const QString& target, const struct stat* existing,
                                       QIODevice& source, const Options& options) {
    const unsigned mode = (existing ? existing->st_mode & 07777 : options.newFileMode);
    Temporary temporary = createTemporary(target, mode);
    if (temporary.fd < 0) {
        return failure(QStringLiteral("cannot create a file beside"), target, errno);
    }
    Descriptor fd(temporary.fd);
    const auto abandon = [&](const QString& what) {
        const int error = errno;
        ::unlink(temporary.path.constData());
        return failure(what, target, error);
    };
    if (existing) {
        // The umask applied at creation; the file keeps exactly the bits it had.
        ::fchmod(fd.get(), mode | options.addedMode);
        if (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored =
                ::fchown(fd.get(), existing->st_uid, existing->st_gid);
        }
    } else if (options.addedMode != 0) {
        struct stat created {};
        ::fstat(fd.get(), &created);
        ::fchmod(fd.get(), (created.st_mode & 07777) | options.addedMode);
    }
    if (!copyInto(source, fd.get())) {
        return abandon(QStringLiteral("cannot write"));
    }
    if (::fsync(fd.get()) != 0 || !fd.close()) {
        return abandon(QStringLiteral("cannot write"));
    }
    if (::rename(temporary.path.constData(), native(target).constData()) != 0) {
        return abandon(QStringLiteral("cannot replace"));
    }
    syncFolder(target);
    return std::nullopt;
}

// Keeps every name of a hard-linked file on the same file: the room for the new bytes is
// reserved before the first old byte is overwritten.
std::optional<QString> replaceInPlace(const QString& target, QIODevice& source) {
    const QByteArray bytes = source.read(kMaxInPlaceBytes + 1);
    if (bytes.size() > kMaxInPlaceBytes) {
        return QStringLiteral("cannot rewrite %1 in place: too large").arg(target);
    }
    const Descriptor fd(::open(native(target).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        return failure(QStringLiteral("cannot open"), target, errno);
    }
    if (!bytes.isEmpty()) {
        const int error = ::posix_fallocate(fd.get(), 0, bytes.size());
        if (error != 0) {
            return failure(QStringLiteral("no room to rewrite"), target, error);
        }
    }
    if (!writeAll(fd.get(), bytes.constData(), bytes.size(), 0) ||
        ::ftruncate(fd.get(), bytes.size()) != 0 || ::fsync(fd.get()) != 0) {
        return failure(QStringLiteral("cannot write"), target, errno);
    }
    return std::nullopt;
}

}  // namespace

QString resolveLinks(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(native(current).constData(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return current;
        }
        QByteArray target(status.st_size > 0 ? status.st_size + 1 : 4096, '\0');
        const ssize_t length =
            ::readlink(native(current).constData(), target.data(), target.size());
        if (length < 0) {
            return current;
        }
        target.truncate(length);
        current =
            QDir::cleanPath(QFileInfo(current).dir().absoluteFilePath(QFile::decodeName(target)));
    }
    return {};
}

std::optional<QString> replace(const QString& path, QIODevice& source, const Options& options) {
    const QString target = resolveLinks(path);
    if (target.isEmpty()) {
        return QStringLiteral("cannot write %1: too many levels of symbolic links").arg(path);
    }
    struct stat existing {};
    const bool exists = ::stat(native(target).constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A FIFO or a device in its place: writing to it would hang or go nowhere.
        return QStringLiteral("cannot write %1: not a regular file").arg(target);
    }
    if (exists && existing.st_nlink > 1 && options.hardLinks == HardLinks::keep) {
        return replaceInPlace(target, source);
    }
    return replaceByRename(target, exists ? &existing : nullptr, source, options);
}

std::optional<QString> replace(const QString& path, const QByteArray& bytes,
                               const Options& options) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return replace(path, buffer, options);
}

}  // namespace framlet::AtomicFile
