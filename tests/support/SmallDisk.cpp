#include "SmallDisk.h"

#include "ChildProcess.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <cerrno>
#include <cstring>

namespace framlet::test {
namespace {
const char* const kFolderVariable = "FRAMLET_TEST_DISK";
}

void SmallDisk::runChild(const QString& childTest, const QString& folder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFolderVariable), folder);
    const ChildResult child = runSelf(childTest, environment);
    if (child.out.contains("[  SKIPPED ]")) {
        GTEST_SKIP() << "no private mount namespace here: " << child.out.constData();
    }
    EXPECT_EQ(child.exitCode, 0) << child.out.constData() << child.err.constData();
}

QString SmallDisk::mountForChild(qint64 bytes) {
    const QString folder = qEnvironmentVariable(kFolderVariable);
    const QString problem =
        folder.isEmpty() ? QStringLiteral("no folder named") : mount(folder, bytes);
    if (!problem.isEmpty()) {
        qWarning("small disk: %s", qPrintable(problem));
        return {};
    }
    return folder;
}

QString SmallDisk::mount(const QString& folder, qint64 bytes) {
    const auto failed = [](const char* what) {
        return QLatin1String(what) + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
    };
    if (::unshare(CLONE_NEWNS) != 0) {
        return failed("no mount namespace");
    }
    // Without this the mount would propagate back into the parent's namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return failed("cannot make mounts private");
    }
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) !=
        0) {
        return failed("cannot mount tmpfs");
    }
    return {};
}

bool SmallDisk::fill(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/.filler"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const QByteArray block(4096, 'f');
    // Whole blocks first, then single bytes for the last partial block.
    for (qsizetype size : {block.size(), qsizetype{1}}) {
        while (::write(fd, block.constData(), static_cast<size_t>(size)) > 0) {
        }
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
}

}  // namespace framlet::test
