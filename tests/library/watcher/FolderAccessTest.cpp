#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <array>

#include "ChildProcess.h"
#include "WatcherTestSupport.h"
#include "library/watcher/FolderAccess.h"

using namespace framlet;
using Status = FolderAccess::Status;

namespace {

constexpr uid_t kNobody = 65534;

// The answers' names, in the order Status declares them.
const char* name(Status status) {
    return std::array{"granted", "denied", "missing"}.at(static_cast<size_t>(status));
}

// Runs as a child: drops to an unprivileged user when started as root (permissions do not deny
// root), then probes the folders named in the environment and prints one answer per line.
TEST(FolderAccessChild, ProbeAsUnprivilegedUser) {
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_PROBE")) {
        GTEST_SKIP() << "only runs as a child of FolderAccess.AnswersGrantedDeniedAndMissing";
    }
    if (::geteuid() == 0) {
        ASSERT_EQ(::setgroups(0, nullptr), 0);
        ASSERT_EQ(::setgid(kNobody), 0);
        ASSERT_EQ(::setuid(kNobody), 0);
    }
    for (const QString& path : qEnvironmentVariable("FRAMLET_TEST_PROBE").split(u'\n')) {
        std::printf("%s\n", name(FolderAccess::probe(QUrl::fromLocalFile(path))));
    }
}

TEST(FolderAccess, AnswersGrantedDeniedAndMissing) {
    QTemporaryDir dir;
    // The unprivileged child must be able to reach the folders to be refused by one of them.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    const QString open = dir.path() + "/open folder";
    const QString locked = dir.path() + "/locked";
    const QString namesOnly = dir.path() + "/names only";
    const QString plainFile = dir.path() + "/file.png";
    QDir().mkdir(open);
    QDir().mkdir(locked);
    QDir().mkdir(namesOnly);
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(locked, QFile::WriteOwner);
    // "r--": its names can be listed, but none of its files opened.
    test::writeFile(namesOnly + "/shot.png");
    QFile::setPermissions(namesOnly, QFile::ReadOwner | QFile::ReadOther);
    test::writeFile(plainFile);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        "FRAMLET_TEST_PROBE",
        QStringList({open, locked, namesOnly, dir.path() + "/nowhere", plainFile}).join(u'\n'));
    const auto result = test::runSelf("FolderAccessChild.*", environment);
    QFile::setPermissions(namesOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(result.exitCode, 0) << result.out.constData() << result.err.constData();
    EXPECT_TRUE(result.out.contains("granted\ndenied\ndenied\nmissing\ndenied\n"))
        << result.out.constData();
}

TEST(FolderAccess, ProbeOffMainGivesTheSameAnswers) {
    QTemporaryDir dir;
    EXPECT_EQ(FolderAccess::probeOffMain(QUrl::fromLocalFile(dir.path())).result(),
              Status::granted);
    EXPECT_EQ(FolderAccess::probeOffMain(QUrl::fromLocalFile(dir.path() + "/x")).result(),
              Status::missing);
    EXPECT_EQ(FolderAccess::probe(QUrl()), Status::missing);
}

}  // namespace
