#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FileBytes.h"
#include "SmallDisk.h"
#include "platform/AtomicFile.h"

using namespace framlet;

namespace {

using test::contents;
using test::put;

struct stat statOf(const QString& path) {
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status;
}

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({"*.tmp"}, QDir::Files | QDir::Hidden);
}

// Runs in a child of its own: the tmpfs is mounted in the child's private mount namespace.
TEST(AtomicFileChild, FullDisk) {
    FRAMLET_SMALL_DISK(folder)
    const QByteArray original = "[General]\nsavePath=/home/me/Shots\n";
    put(folder + "/plain.ini", original);
    put(folder + "/linked.ini", original);
    ASSERT_EQ(::link(QFile::encodeName(folder + "/linked.ini").constData(),
                     QFile::encodeName(folder + "/second-name.ini").constData()),
              0);
    ASSERT_TRUE(test::SmallDisk::fill(folder));

    // A few bytes more for the renamed file (a buffered writer's one final flush), and more than
    // its last block holds for the one rewritten in place.
    const QByteArray larger = original + "showDesktopNotification=false\n";
    const QByteArray muchLarger = original + QByteArray(16 * 1024, '#');
    for (const auto& [name, bytes] :
         {std::pair{"plain.ini", larger}, std::pair{"linked.ini", muchLarger}}) {
        const auto error = AtomicFile::replace(folder + QLatin1Char('/') + name, bytes);
        ASSERT_TRUE(error.has_value()) << name;
        EXPECT_TRUE(error->contains("No space left")) << error->toStdString();
        EXPECT_EQ(contents(folder + QLatin1Char('/') + name), original) << name;
    }
    EXPECT_EQ(contents(folder + "/second-name.ini"), original);
    EXPECT_TRUE(leftovers(folder).isEmpty()) << leftovers(folder).join(u' ').toStdString();

    QFile::remove(folder + "/.filler");
    EXPECT_FALSE(AtomicFile::replace(folder + "/plain.ini", larger).has_value());
    EXPECT_EQ(contents(folder + "/plain.ini"), larger);

    // A file mounted over another cannot be renamed over (EBUSY): told, and left as it was.
    const QString mounted = folder + "/mounted.ini";
    put(mounted, original);
    ASSERT_EQ(::mount(QFile::encodeName(folder + "/plain.ini").constData(),
                      QFile::encodeName(mounted).constData(), nullptr, MS_BIND, nullptr),
              0);
    EXPECT_TRUE(AtomicFile::replace(mounted, original).has_value());
    EXPECT_EQ(contents(mounted), larger);
}

TEST(AtomicFile, OnAFullDiskTheOldFileStaysWholeAndTheCallerIsTold) {
    QTemporaryDir dir;
    test::SmallDisk::runChild("AtomicFileChild.FullDisk", dir.path() + "/disk");
}

class AtomicFileTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir m_dir;
};

TEST_F(AtomicFileTest, TheFileKeepsItsIdentity) {
    // A link into a dotfiles folder stays a link, and the file it names gets the bytes.
    put(path("dotfiles/app.ini"), "old");
    QFile::link(path("dotfiles/app.ini"), path("app.ini"));
    ASSERT_FALSE(AtomicFile::replace(path("app.ini"), "new").has_value());
    EXPECT_TRUE(QFileInfo(path("app.ini")).isSymLink());
    EXPECT_EQ(contents(path("dotfiles/app.ini")), "new");

    // Hard links stay one file, unless asked to split (a program replaced while it runs).
    put(path("one"), "old");
    ::link(QFile::encodeName(path("one")).constData(), QFile::encodeName(path("two")).constData());
    ASSERT_FALSE(AtomicFile::replace(path("one"), "newer and longer").has_value());
    EXPECT_EQ(contents(path("two")), "newer and longer");
    EXPECT_EQ(statOf(path("one")).st_ino, statOf(path("two")).st_ino);
    ASSERT_FALSE(AtomicFile::replace(path("one"), "x", {.hardLinks = AtomicFile::HardLinks::split})
                     .has_value());
    EXPECT_EQ(contents(path("two")), "newer and longer");
    EXPECT_EQ(contents(path("one")), "x");

    // Permissions are kept exactly, never widened by the umask or a default.
    put(path("private"), "old");
    ::chmod(QFile::encodeName(path("private")).constData(), 0600);
    ASSERT_FALSE(AtomicFile::replace(path("private"), "new").has_value());
    EXPECT_EQ(statOf(path("private")).st_mode & 07777, 0600u);
    ASSERT_FALSE(AtomicFile::replace(path("program"), "#!/bin/sh\n",
                                     {.newFileMode = 0600, .addedMode = 0100})
                     .has_value());
    EXPECT_EQ(statOf(path("program")).st_mode & 07777, 0700u);
    EXPECT_TRUE(leftovers(m_dir.path()).isEmpty());
}

TEST_F(AtomicFileTest, WhatIsNoRegularFileIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    const auto error = AtomicFile::replace(path("fifo"), "x");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("not a regular file"));

    QFile::link(path("loop-a"), path("loop-b"));
    QFile::link(path("loop-b"), path("loop-a"));
    EXPECT_TRUE(AtomicFile::replace(path("loop-a"), "x").has_value());

    // A link that leads nowhere yet: the file it names is created, the link kept.
    QFile::link(path("made-later"), path("dangling"));
    ASSERT_FALSE(AtomicFile::replace(path("dangling"), "x").has_value());
    EXPECT_EQ(contents(path("made-later")), "x");
    EXPECT_TRUE(QFileInfo(path("dangling")).isSymLink());
}

}  // namespace
