#include "library/FolderAccess.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>

namespace framlet::FolderAccess {
namespace {

Status statusOf(int error) {
    return error == ENOENT ? Status::missing : Status::denied;
}

}  // namespace

Status probe(const QUrl& folder) {
    if (!folder.isLocalFile()) {
        return Status::missing;
    }
    const int fd = ::open(QFile::encodeName(folder.toLocalFile()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return statusOf(errno);
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return statusOf(error);
    }
    // Reading the first entry is what listing means; opening alone succeeds on some file systems
    // that then refuse to read.
    errno = 0;
    const bool listed = ::readdir(dir) != nullptr || errno == 0;
    const int error = errno;
    ::closedir(dir);
    return listed ? Status::granted : statusOf(error);
}

QFuture<Status> probeOffMain(const QUrl& folder) {
    return QtConcurrent::run([folder] { return probe(folder); });
}

}  // namespace framlet::FolderAccess
