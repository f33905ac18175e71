#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <future>

#include "ChildProcess.h"
#include "FileBytes.h"
#include "platform/IniText.h"
#include "platform/ToolNotifications.h"

using namespace framlet;

namespace {

using test::contents;
using test::put;

const QByteArray kFlameshotIni =
    "[General]\r\n"
    "; where captures go\r\n"
    "savePath=/home/j\xf6rg/Bilder\r\n"  // Latin-1, as an old tool wrote it
    "showDesktopNotification=true\r\n"
    "[Shortcuts]\r\n"
    "TYPE_COPY=Ctrl+C\r\n";

class ToolNotificationsTest : public ::testing::Test {
protected:
    QString flameshotIni() const { return m_config.filePath("flameshot/flameshot.ini"); }
    QString plasmaRc() const { return m_config.filePath("plasmanotifyrc"); }
    ToolNotifications flameshot() const { return {"flameshot", m_config.path()}; }
    ToolNotifications spectacle() const { return {"spectacle", m_config.path()}; }

    QTemporaryDir m_config;
};

TEST_F(ToolNotificationsTest, OnlyTheKeysBytesChangeAndTheFileStaysOneFile) {
    put(flameshotIni(), kFlameshotIni);
    const QString second = m_config.filePath("dotfiles-flameshot.ini");
    ASSERT_EQ(::link(QFile::encodeName(flameshotIni()).constData(),
                     QFile::encodeName(second).constData()),
              0);
    ASSERT_FALSE(flameshot().setSuppressed(true).has_value());
    EXPECT_TRUE(flameshot().isSuppressed());
    QByteArray expected = kFlameshotIni;
    expected.replace("showDesktopNotification=true", "showDesktopNotification=false");
    EXPECT_EQ(contents(flameshotIni()), expected);
    EXPECT_EQ(contents(second), expected);  // both names still name the one file
}

TEST_F(ToolNotificationsTest, WhatKdeMarksImmutableIsShownAndLeftAlone) {
    const QList<QByteArray> locked{
        "[Applications][org.kde.spectacle]\nShowPopups[$i]=false\n",
        "[Applications][org.kde.spectacle][$i]\nShowPopups=false\n",
        "[$i]\n[Applications][org.kde.spectacle]\nShowPopups=false\n",
    };
    for (const QByteArray& text : locked) {
        put(plasmaRc(), text);
        EXPECT_TRUE(spectacle().isSuppressed()) << text.constData();
        EXPECT_FALSE(spectacle().isAvailable()) << text.constData();
        EXPECT_TRUE(spectacle().unavailableReason().contains("[$i]"));
        EXPECT_TRUE(spectacle().setSuppressed(false).has_value()) << text.constData();
        EXPECT_EQ(contents(plasmaRc()), text);
    }
    // An administrator's file fixes it for everyone, whatever the user's file says.
    QTemporaryDir system;
    put(system.filePath("plasmanotifyrc"),
        "[Applications][org.kde.spectacle]\nShowPopups[$i]=false\n");
    put(plasmaRc(), "[Applications][org.kde.spectacle]\nShowPopups=true\n");
    const ToolNotifications fixed("spectacle", m_config.path(),
                                  {system.path(), m_config.filePath("none")});
    EXPECT_TRUE(fixed.isSuppressed());
    EXPECT_TRUE(fixed.unavailableReason().contains(system.path()));
    EXPECT_TRUE(fixed.setSuppressed(true).has_value());
    EXPECT_EQ(contents(plasmaRc()), "[Applications][org.kde.spectacle]\nShowPopups=true\n");
    EXPECT_FALSE(spectacle().isSuppressed());  // without the system's folders

    // Another application's immutable group does not lock Spectacle's key.
    put(plasmaRc(), "[Applications][org.kde.konsole][$i]\nShowPopups=false\n");
    EXPECT_TRUE(spectacle().isAvailable());
    ASSERT_FALSE(spectacle().setSuppressed(true).has_value());
    EXPECT_TRUE(spectacle().isSuppressed());
}

TEST_F(ToolNotificationsTest, WhatIsNoRegularFileIsNeitherWaitedForNorRead) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(flameshotIni()).absolutePath()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(flameshotIni()).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", plasmaRc()));
    for (const ToolNotifications& tool : {flameshot(), spectacle()}) {
        EXPECT_FALSE(tool.isSuppressed());
        EXPECT_FALSE(tool.isAvailable());
        EXPECT_TRUE(tool.unavailableReason().contains("not a regular file"))
            << tool.unavailableReason().toStdString();
        EXPECT_TRUE(tool.setSuppressed(true).has_value());
    }
    EXPECT_FALSE(QFileInfo(flameshotIni()).isFile());
    EXPECT_TRUE(QFileInfo(plasmaRc()).isSymLink());

    // QLockFile would read a FIFO in the lock's place.
    QFile::remove(flameshotIni());
    put(flameshotIni(), "[General]\n");
    ASSERT_EQ(::mkfifo(QFile::encodeName(flameshotIni() + ".lock").constData(), 0600), 0);
    EXPECT_TRUE(flameshot().setSuppressed(true).has_value());
    EXPECT_EQ(contents(flameshotIni()), "[General]\n");
}

// Writes keys of its own the way Flameshot does (QSettings: lock, reread, replace) until told to
// stop, then says how many.
TEST(ToolNotificationsChild, WritesLikeFlameshot) {
    const QString path = qEnvironmentVariable("FRAMLET_TEST_INI");
    int written = 0;
    while (!QFile::exists(path + ".stop") && written < 100000) {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Other/key%1").arg(written), written);
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError) << written;
        ++written;
    }
    std::printf("wrote %d\n", written);
}

TEST_F(ToolNotificationsTest, TheToolsLockKeepsEitherSideFromLosingWrites) {
    put(flameshotIni(), "[General]\nshowDesktopNotification=true\n");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("FRAMLET_TEST_INI", flameshotIni());
    auto child = std::async(std::launch::async, [environment] {
        return test::runSelf("ToolNotificationsChild.WritesLikeFlameshot", environment);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return contents(flameshotIni()).contains("key1="); }, 20000));
    for (int flip = 0; flip < 40; ++flip) {
        const auto error = flameshot().setSuppressed(flip % 2 == 0);
        ASSERT_FALSE(error.has_value()) << error->toStdString();
        QThread::msleep(5);  // a person at the toggle, not a loop holding the lock
    }
    put(flameshotIni() + ".stop", "");
    const test::ChildResult result = child.get();
    ASSERT_EQ(result.exitCode, 0) << result.out.constData();
    const int written = result.out.mid(result.out.indexOf("wrote ") + 6).split('\n')[0].toInt();
    EXPECT_GT(written, 1);
    const QByteArray text = contents(flameshotIni());
    for (int i = 0; i < written; ++i) {
        EXPECT_TRUE(IniText::value(text, "[Other]", "key" + QByteArray::number(i))) << i;
    }
    EXPECT_FALSE(flameshot().isSuppressed());  // the last flip turned it back on

    // A lock held too long is reported, and nothing is written without it.
    {
        QLockFile held(flameshotIni() + ".lock");
        ASSERT_TRUE(held.tryLock(0));
        const auto error = flameshot().setSuppressed(true);
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->contains("another program")) << error->toStdString();
        EXPECT_FALSE(flameshot().isSuppressed());
    }
    // The lock of a program that died while holding it.
    QProcess gone;
    gone.start("true", {});
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    put(flameshotIni() + ".lock",
        QByteArray::number(pid) + "\nflameshot\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    EXPECT_FALSE(flameshot().setSuppressed(true).has_value());
    EXPECT_TRUE(flameshot().isSuppressed());
}

}  // namespace
