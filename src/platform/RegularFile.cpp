#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QMutex>
#include <cerrno>
#include <cstring>

namespace framlet::RegularFile {
namespace {

QMutex& hookMutex() {
    static QMutex mutex;
    return mutex;
}

std::function<void(const QString&)>& hook() {
    static std::function<void(const QString&)> beforeOpen;
    return beforeOpen;
}

void runHook(const QString& path) {
    std::function<void(const QString&)> beforeOpen;
    {
        const QMutexLocker lock(&hookMutex());
        beforeOpen = hook();
    }
    if (beforeOpen) {
        beforeOpen(path);
    }
}

Opened failure(Status status, const QString& error) {
    return {status, error};
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

Opened open(const QString& path, Links links, QFile& file, qint64 maxBytes) {
    runHook(path);
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one, for ever.
    const int flags =
        O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            return failure(Status::missing, QStringLiteral("no such file"));
        }
        if (error == ELOOP) {
            return failure(Status::notRegular, QStringLiteral("not a regular file"));
        }
        return failure(Status::unreadable, errnoText(error));
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return failure(Status::notRegular, QStringLiteral("not a regular file"));
    }
    if (maxBytes >= 0 && status.st_size > maxBytes) {
        ::close(fd);
        return failure(Status::tooLarge, QStringLiteral("%1 bytes").arg(status.st_size));
    }
    // Regular files never block; clear the flag so reads behave as readers expect.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failure(Status::unreadable, file.errorString());
    }
    return {Status::opened, QString()};
}

Contents readAll(const QString& path, Links links, qint64 maxBytes) {
    QFile file;
    Contents contents{open(path, links, file, maxBytes), {}};
    if (contents.opened.ok()) {
        contents.bytes = file.read(maxBytes + 1);
        if (contents.bytes.size() > maxBytes) {
            contents = {{Status::tooLarge, QStringLiteral("more than %1 bytes").arg(maxBytes)}, {}};
        }
    }
    return contents;
}

void setBeforeOpenForTesting(std::function<void(const QString& path)> beforeOpen) {
    const QMutexLocker lock(&hookMutex());
    hook() = std::move(beforeOpen);
}

}  // namespace framlet::RegularFile
