#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <functional>

#include "FileBytes.h"
#include "SmallDisk.h"
#include "platform/AtomicFile.h"
#include "platform/LoginItem.h"
#include "platform/ToolNotifications.h"
#include "platform/UserDefaults.h"

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

// Every writer of a file another program or the next run reads, on a really full disk. Runs in a
// child of its own: the tmpfs is mounted in the child's private mount namespace.
TEST(AtomicFileChild, FullDisk) {
    FRAMLET_SMALL_DISK(folder)
    const QByteArray original = "[General]\nsavePath=/home/me/Shots\n";
    put(folder + "/plain.ini", original);
    put(folder + "/linked.ini", original);
    ASSERT_EQ(::link(QFile::encodeName(folder + "/linked.ini").constData(),
                     QFile::encodeName(folder + "/second-name.ini").constData()),
              0);
    UserDefaults defaults(folder + "/defaults.json");
    ASSERT_TRUE(defaults.set("hasCompletedOnboarding", true));
    const QString entry = folder + "/autostart/framlet.desktop";
    ASSERT_FALSE(LoginItem(entry, "/bin/sh").registerItem().has_value());
    // Large enough that its copy cannot fit, while the tool's lock file still can.
    const QString tool = folder + "/flameshot/flameshot.ini";
    put(tool, "[General]\nshowDesktopNotification=true\n[Other]\n" + QByteArray(64 * 1024, 'x'));

    // A few bytes more for a renamed file (a buffered writer's one final flush), and more than
    // its last block holds for the one rewritten in place.
    const QByteArray larger = original + "showDesktopNotification=false\n";
    const QByteArray muchLarger = original + QByteArray(16 * 1024, '#');
    const std::pair<QString, std::function<std::optional<QString>()>> writers[]{
        {"plain.ini", [&] { return AtomicFile::replace(folder + "/plain.ini", larger); }},
        {"linked.ini", [&] { return AtomicFile::replace(folder + "/linked.ini", muchLarger); }},
        {"defaults.json",
         [&] {
             EXPECT_FALSE(defaults.set("columns", qint64{4}));
             return std::optional(defaults.writeFailure());
         }},
        {"autostart/framlet.desktop", [&] { return LoginItem(entry, "/bin/true").registerItem(); }},
        {"flameshot/flameshot.ini",
         [&] { return ToolNotifications("flameshot", folder).setSuppressed(true); }},
    };
    QMap<QString, QByteArray> before;
    for (const auto& [name, write] : writers) {
        before[name] = contents(folder + u'/' + name);
    }
    ASSERT_TRUE(test::SmallDisk::fill(folder));
    for (const auto& [name, write] : writers) {
        SCOPED_TRACE(name.toStdString());
        if (name.startsWith(u"flameshot")) {  // room for the lock, none for the copy
            const QString filler = folder + "/.filler";
            ASSERT_EQ(::truncate(QFile::encodeName(filler).constData(),
                                 QFileInfo(filler).size() - 16 * 1024),
                      0);
        }
        const auto error = write();
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->contains("No space left")) << error->toStdString();
        EXPECT_EQ(contents(folder + u'/' + name), before[name]);
    }
    EXPECT_EQ(contents(folder + "/second-name.ini"), original);
    EXPECT_EQ(LoginItem(entry, "/bin/sh").status(), LoginItem::Status::enabled);
    EXPECT_TRUE(leftovers(folder).isEmpty()) << leftovers(folder).join(u' ').toStdString();

    QFile::remove(folder + "/.filler");
    EXPECT_FALSE(AtomicFile::replace(folder + "/plain.ini", larger).has_value());
    EXPECT_EQ(contents(folder + "/plain.ini"), larger);
    EXPECT_TRUE(defaults.set("columns", qint64{2}));
    EXPECT_TRUE(defaults.writeFailure().isEmpty());

    // A file mounted over another cannot be renamed over (EBUSY): told, and left as it was.
    const QString mounted = folder + "/mounted.ini";
    put(mounted, original);
    ASSERT_EQ(::mount(QFile::encodeName(folder + "/plain.ini").constData(),
                      QFile::encodeName(mounted).constData(), nullptr, MS_BIND, nullptr),
              0);
    EXPECT_TRUE(AtomicFile::replace(mounted, original).has_value());
    EXPECT_EQ(contents(mounted), larger);
}

TEST(AtomicFile, OnAFullDiskEveryWriterLeavesItsFileWholeAndTellsTheCaller) {
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
