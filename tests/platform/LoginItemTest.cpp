#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "ChildProcess.h"
#include "FileBytes.h"
#include "platform/LoginItem.h"

using namespace framlet;

namespace {

using test::contents;

class LoginItemTest : public ::testing::Test {
protected:
    QString entry() const { return m_dir.path() + "/autostart/framlet.desktop"; }
    LoginItem item(const QString& executable = "/bin/sh") const {
        return LoginItem(entry(), executable);
    }
    void writeEntry(const QByteArray& contents) const { ASSERT_TRUE(test::put(entry(), contents)); }
    QTemporaryDir m_dir;
};

TEST_F(LoginItemTest, StatusFollowsTheAutostartEntry) {
    EXPECT_EQ(item().status(), LoginItem::Status::notRegistered);
    ASSERT_FALSE(item().registerItem().has_value());
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);
    // Registering again simply rewrites the entry.
    ASSERT_FALSE(item().registerItem().has_value());
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);

    writeEntry("[Desktop Entry]\nType=Application\nExec=sh\nHidden=true\n");
    EXPECT_EQ(item().status(), LoginItem::Status::requiresApproval);
    writeEntry("[Desktop Entry]\nExec=sh\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_EQ(item().status(), LoginItem::Status::requiresApproval);
    // Keys of other groups do not count; a bare name is looked up in PATH.
    writeEntry("[Desktop Entry]\nExec=sh -c true\n[Desktop Action a]\nHidden=true\n");
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);
    // Enabled only when the entry would start a program that exists.
    for (const QByteArray& exec : {QByteArray("\"") + m_dir.path().toUtf8() + "/gone\" --x",
                                   QByteArray("no-such-program-anywhere"), QByteArray("\"\"")}) {
        writeEntry("[Desktop Entry]\nType=Application\nExec=" + exec + "\n");
        EXPECT_EQ(item().status(), LoginItem::Status::notFound) << exec.constData();
    }
    writeEntry("[Desktop Entry]\nType=Application\nExec=sh\nTryExec=/opt/gone/framlet\n");
    EXPECT_EQ(item().status(), LoginItem::Status::notFound);  // the session skips it
    writeEntry("");                                           // what a full disk used to leave
    EXPECT_EQ(item().status(), LoginItem::Status::notFound);
    ASSERT_FALSE(item().registerItem().has_value());
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);

    writeEntry(LoginItem::desktopEntry("/bin/sh").toUtf8());
    EXPECT_FALSE(item().unregisterItem().has_value());
    EXPECT_EQ(item().status(), LoginItem::Status::notRegistered);
    EXPECT_FALSE(QFile::exists(entry()));  // Framlet's own entry, untouched, is deleted
    EXPECT_FALSE(item().unregisterItem().has_value());  // nothing to remove is no failure

    EXPECT_EQ(item(QString()).status(), LoginItem::Status::notFound);
    EXPECT_EQ(item(m_dir.path() + "/gone").status(), LoginItem::Status::notFound);
}

TEST_F(LoginItemTest, TheUsersEditsAndLinkSurvive) {
    const QByteArray edited =
        "# mine\n"
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Framlet\n"
        "Name[de]=Bildschirmfotos f\xfcr mich\n"  // not UTF-8, kept byte for byte
        "Exec=/opt/old/framlet-gone\n"
        "Hidden=true\n"
        "X-GNOME-Autostart-enabled=false\n"
        "X-GNOME-Autostart-Delay=30\n"
        "TryExec=/opt/old/framlet-gone\n"
        "\n"
        "[Desktop Action quiet]\n"
        "Exec=/opt/old/framlet-gone --quiet\n";
    // The entry lives in the user's dotfiles, linked into the autostart folder.
    const QString target = m_dir.path() + "/dotfiles/framlet.desktop";
    QDir().mkpath(QFileInfo(target).path());
    QDir().mkpath(QFileInfo(entry()).path());
    ASSERT_TRUE(QFile::link(target, entry()));
    writeEntry(edited);

    ASSERT_FALSE(item().registerItem().has_value());
    QByteArray expected = edited;
    expected.replace("\nExec=/opt/old/framlet-gone\n", "\nExec=\"/bin/sh\"\n")
        .replace("TryExec=/opt/old/framlet-gone", "TryExec=/bin/sh")
        .replace("Hidden=true", "Hidden=false")
        .replace("X-GNOME-Autostart-enabled=false", "X-GNOME-Autostart-enabled=true");
    EXPECT_EQ(contents(target), expected);
    EXPECT_TRUE(QFileInfo(entry()).isSymLink());
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);

    ASSERT_FALSE(item().unregisterItem().has_value());
    EXPECT_EQ(contents(target), expected.replace("Hidden=false", "Hidden=true"));
    EXPECT_TRUE(QFileInfo(entry()).isSymLink());
    EXPECT_EQ(item().status(), LoginItem::Status::requiresApproval);

    // An Exec already naming this program, by a name in PATH, is left as the user wrote it.
    writeEntry("[Desktop Entry]\nType=Application\nExec=sh\n");
    ASSERT_FALSE(item().registerItem().has_value());
    EXPECT_EQ(contents(target), "[Desktop Entry]\nType=Application\nExec=sh\n");
}

TEST_F(LoginItemTest, WhatIsNoRegularFileIsNeitherWaitedForNorRead) {
    QDir().mkpath(QFileInfo(entry()).path());
    for (const bool fifo : {true, false}) {
        QFile::remove(entry());
        ASSERT_TRUE(fifo ? ::mkfifo(QFile::encodeName(entry()).constData(), 0600) == 0
                         : QFile::link("/dev/zero", entry()));
        EXPECT_EQ(item().status(), LoginItem::Status::requiresApproval);
        EXPECT_TRUE(item().registerItem().has_value());
        EXPECT_TRUE(item().unregisterItem().has_value());
        EXPECT_TRUE(QFileInfo::exists(entry()));
    }
}

// The AppImage file is what the session must start; the mount it runs from is gone by then.
TEST(LoginItemAppImage, RegistersTheAppImageNeverItsMount) {
    const QString running = QFileInfo("/proc/self/exe").symLinkTarget();
    QTemporaryDir dir;
    const QString appImage = dir.filePath("Framlet-x86_64.AppImage");
    ASSERT_TRUE(test::put(appImage, {}));
    QFile::setPermissions(appImage, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const auto run = [](const QString& mount, const QString& image) {
        qputenv("APPDIR", mount.toUtf8());
        qputenv("APPIMAGE", image.toUtf8());
        const QString found = LoginItem::runningExecutable();
        qunsetenv("APPDIR");
        qunsetenv("APPIMAGE");
        return found;
    };
    const QString mount = QFileInfo(running).path();  // as if this program ran from the mount
    EXPECT_EQ(run(mount, appImage), appImage);
    EXPECT_EQ(run(mount, dir.filePath("gone.AppImage")), QString());
    // Inherited from an AppImage that started this program: not this program's file.
    EXPECT_EQ(run(dir.path(), appImage), running);
}

TEST_F(LoginItemTest, ExecQuotesAwkwardPaths) {
    EXPECT_EQ(LoginItem::execArgument("/usr/bin/framlet"), "\"/usr/bin/framlet\"");
    EXPECT_EQ(LoginItem::execArgument("/opt/My Apps/fram$let"), "\"/opt/My Apps/fram\\\\$let\"");
    EXPECT_EQ(LoginItem::execArgument("/a\"b/c\\d/100%"), "\"/a\\\\\"b/c\\\\\\\\d/100%%\"");
    // Read back as the session reads it, so Framlet knows its own entry again.
    for (const QString path : {"/opt/My Apps/fram$let", "/a\"b/c\\d/100%/`x` \t"}) {
        EXPECT_EQ(LoginItem::execProgram(LoginItem::execArgument(path)), path);
    }
}

TEST_F(LoginItemTest, TheEntryPassesDesktopFileValidate) {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate comes with desktop-file-utils";
    for (const QString executable : {"/usr/bin/framlet", "/home/a b/$HOME/`x`/\"q\"/back\\slash"}) {
        const QString file = m_dir.path() + "/framlet.desktop";
        ASSERT_TRUE(test::put(file, LoginItem::desktopEntry(executable).toUtf8()));
        const auto validate =
            test::runChild(validator, {file}, QProcessEnvironment::systemEnvironment());
        EXPECT_EQ(validate.exitCode, 0) << validate.out.constData() << validate.err.constData();
        EXPECT_TRUE(LoginItem::desktopEntry(executable).contains("X-GNOME-Autostart-Delay="));
    }
}

TEST_F(LoginItemTest, RegisterReportsAFolderItCannotCreate) {
    ASSERT_TRUE(test::put(m_dir.path() + "/autostart", ""));  // a file where the folder should be
    const auto error = item().registerItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("autostart"));
    EXPECT_FALSE(item(QString()).registerItem() == std::nullopt);
}

}  // namespace
