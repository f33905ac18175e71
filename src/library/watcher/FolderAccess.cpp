#include "library/watcher/FolderAccess.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "platform/FolderThreads.h"

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
    bool readable = ::readdir(dir) != nullptr || errno == 0;
    // Names are not enough: a folder that may be read but not searched ("r--") opens none of its
    // files. Asked of the kernel, which knows ACLs and privileges.
    readable = readable && ::faccessat(::dirfd(dir), ".", X_OK, AT_EACCESS) == 0;
    const int error = errno;
    ::closedir(dir);
    return readable ? Status::granted : statusOf(error);
}

QFuture<Status> probeOffMain(const QUrl& folder) {
    return FolderThreads::future<Status>(folder.toLocalFile(), [folder] { return probe(folder); });
}

}  // namespace framlet::FolderAccess
