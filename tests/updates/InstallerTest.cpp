#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ChildProcess.h"
#include "FileBytes.h"
#include "LogTail.h"
#include "LoopbackServer.h"
#include "ManualTimers.h"
#include "RecordingFileManager.h"
#include "SigningKey.h"
#include "SmallDisk.h"
#include "updates/UpdateInstaller.h"
#include "updates/UpdatePayload.h"
#include "updates/UpdateSignature.h"
#include "updates/UpdateTransfer.h"

namespace framlet {
namespace {

using namespace std::chrono_literals;
using Outcome = UpdateInstaller::Outcome;

// Owner, group and others; QFileInfo adds the current user's rights as well.
constexpr QFileDevice::Permissions kModeBits(0x7077);

using test::contents;
using test::put;

bool run(const QString& program, const QStringList& arguments) {
    return test::runChild(program, arguments, QProcessEnvironment::systemEnvironment()).exitCode ==
           0;
}

class InstallerTest : public ::testing::Test {
protected:
    InstallerTest() : other(QByteArray("#!/bin/sh\necho new release\n").repeated(2000)) {}

    // A release as the build makes one: an ELF runtime marked as a type 2 AppImage and carrying
    // its version in a `.framlet_version` section, then the image. /bin/true plays the runtime.
    QByteArray appImage(const QString& version) const {
        const QString runtime = dir.filePath("runtime-" + version);
        QFile::copy("/bin/true", runtime);
        if (!version.isEmpty()) {
            const QString text = dir.filePath("version.txt");
            put(text, version.toUtf8() + '\n');
            EXPECT_TRUE(
                run("objcopy",
                    {"--add-section",
                     QString::fromLatin1(UpdatePayload::kVersionSection) + u'=' + text, runtime}));
        }
        return contents(runtime).replace(8, 3, QByteArray("AI\x02", 3)) + "hsqs" + other;
    }

    // A Debian package of this version, built by dpkg-deb as a release's would be.
    QByteArray package(const QString& version) const {
        const QString root = dir.filePath("package-" + version);
        put(root + "/DEBIAN/control",
            "Package: framlet\nVersion: " + version.toUtf8() +
                "\nArchitecture: all\nMaintainer: Framlet <framlet@example.org>\n"
                "Description: keeps your recent screenshots on a shelf\n");
        put(root + "/usr/bin/framlet", other);
        const QString deb = root + ".deb";
        EXPECT_TRUE(run("dpkg-deb", {"--root-owner-group", "--build", root, deb}));
        return contents(deb);
    }

    AppcastItem item(const QString& name, const QByteArray& bytes, const QString& version = "2.0",
                     QByteArray signature = {}, qint64 length = -1) {
        server.serve(u'/' + name, bytes);
        AppcastItem result;
        result.version = result.displayVersion = version;
        result.url = server.url(u'/' + name);
        result.length = length < 0 ? bytes.size() : length;
        result.edSignature = signature.isEmpty() ? key.signatureBase64(bytes) : signature;
        return result;
    }

    UpdateInstaller makeInstaller(const QString& appImage = {}) {
        return UpdateInstaller(
            network, timers, {*UpdateSignature::publicKey(key.publicKeyBase64()), "1.9"},
            {dir.filePath("staging"), dir.filePath("Downloads"), appImage}, files, 5s);
    }

    // Installs and waits for the outcome: the signal's arguments, failed or installed.
    QList<QVariant> install(UpdateInstaller& installer, const AppcastItem& update) {
        QSignalSpy installed(&installer, &UpdateInstaller::installed);
        QSignalSpy failed(&installer, &UpdateInstaller::failed);
        installer.install(update);
        (void)QTest::qWaitFor([&] { return !installed.isEmpty() || !failed.isEmpty(); }, 10000);
        return installed.isEmpty() ? failed.value(0) : installed.value(0);
    }

    QString oldAppImage(QFileDevice::Permissions permissions = QFileDevice::ReadOwner |
                                                               QFileDevice::WriteOwner |
                                                               QFileDevice::ExeOwner) const {
        const QString path = dir.filePath("Framlet.AppImage");
        put(path, "old release");
        QFile::setPermissions(path, permissions);
        return path;
    }

    QStringList filesIn(const QString& folder) const {
        return QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir dir;
    QNetworkAccessManager network;
    test::ManualTimers timers;
    test::LoopbackServer server;
    test::SigningKey key;
    test::RecordingFileManager files;
    QByteArray other;
};

TEST_F(InstallerTest, AVerifiedDownloadIsSavedAndShownOrHandedToThePackageInstaller) {
    UpdateInstaller installer = makeInstaller();
    const auto saved = install(installer, item("Framlet-2.0.tar.gz", other));
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[0].value<Outcome>(), Outcome::savedToDownloads);
    EXPECT_EQ(files.revealed, QList<QUrl>{QUrl::fromLocalFile(saved[1].toString())});
    EXPECT_EQ(contents(saved[1].toString()), other);

    const auto deb = install(installer, item("framlet_2.0_amd64.deb", package("2.0")));
    ASSERT_EQ(deb.size(), 3);
    EXPECT_EQ(deb[0].value<Outcome>(), Outcome::handedToPackageInstaller);
    EXPECT_EQ(files.opened, QList<QUrl>{QUrl::fromLocalFile(deb[1].toString())});
    EXPECT_TRUE(filesIn("staging").isEmpty());
}

TEST_F(InstallerTest, ARunningAppImageIsReplacedWholeWithoutWideningWhoMayUseIt) {
    // The group may read the old program and others may not: only the group may run the new one.
    const QString program = oldAppImage(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner | QFileDevice::ReadGroup);
    const QByteArray release = appImage("2.0");
    UpdateInstaller installer = makeInstaller(program);
    const auto result = install(installer, item("Framlet-2.0-x86_64.AppImage", release));
    ASSERT_EQ(result.size(), 3);
    EXPECT_EQ(result[0].value<Outcome>(), Outcome::replacedAppImage);
    EXPECT_EQ(contents(program), release);
    EXPECT_EQ(QFileInfo(program).permissions() & kModeBits,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                  QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    EXPECT_EQ(QDir(dir.path()).entryList({"*.AppImage*"}, QDir::Files | QDir::Hidden),
              QStringList{"Framlet.AppImage"});

    // One it cannot write beside is still verified and kept, in Downloads, and the user is told.
    UpdateInstaller blocked = makeInstaller(dir.filePath("gone/Framlet.AppImage"));
    const auto saved = install(blocked, item("Framlet-2.0-x86_64.AppImage", release));
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[0].value<Outcome>(), Outcome::savedToDownloadsInstead);
    EXPECT_EQ(contents(saved[1].toString()), release);
    EXPECT_FALSE(saved[2].toString().isEmpty());
}

// A download is used only when its signature, its length and its own bytes say it is the
// release announced: a genuine signature proves who made the bytes, not which release they are,
// so an old release announced as new, or one kind of file served under another's name, is
// refused as well.
TEST_F(InstallerTest, ADownloadThatFailsItsChecksOrIsNotTheReleaseAnnouncedIsNeverUsed) {
    const QString program = oldAppImage();
    UpdateInstaller installer = makeInstaller(program);
    const QByteArray old = appImage("1.5");
    const QByteArray current = appImage("1.9");
    const QByteArray unversioned = appImage({});
    const QByteArray release = appImage("2.0");
    const QByteArray oldPackage = package("1.5");
    const QByteArray newPackage = package("2.0");
    QByteArray plainElf = release;
    plainElf.replace(8, 3, QByteArray(3, '\0'));
    QByteArray lostSections = release;
    lostSections.replace(0x28, 8, QByteArray(8, '\xff'));  // the section table past the end
    test::SigningKey stranger;
    struct Case {
        QString name;
        QByteArray bytes;
        QString version;
        QString message;
        QByteArray signature = {};
        qint64 length = -1;
    };
    const QList<Case> cases{
        {"stranger.AppImage", release, "2.0", "not signed", stranger.signatureBase64(release)},
        {"other.AppImage", release, "2.0", "not signed", key.signatureBase64("something else")},
        {"short.AppImage", release, "2.0", "", {}, release.size() + 10},
        {"long.AppImage", release, "2.0", "", {}, release.size() - 10},
        {"Framlet-9.9.9.AppImage", old, "9.9.9", "not 9.9.9 as announced"},
        {"Framlet-1.9.AppImage", current, "1.9", "not newer"},
        {"Framlet-2.0.AppImage", unversioned, "2.0", "does not say which version"},
        {"Framlet-2.0.AppImage", lostSections, "2.0", "does not say which version"},
        {"Framlet-2.0.AppImage", newPackage, "2.0", "not the kind of file"},
        {"Framlet-2.0.AppImage", plainElf, "2.0", "not the kind of file"},
        {"Framlet-2.0.tar.gz", release, "2.0", "not the kind of file"},
        {"framlet_2.0_amd64.deb", release, "2.0", "not the kind of file"},
        {"framlet_9.9.9_amd64.deb", oldPackage, "9.9.9", "not 9.9.9 as announced"},
        {"framlet_1.5_amd64.deb", oldPackage, "1.5", "not newer"},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.name.toStdString() + " " + bad.message.toStdString());
        test::LogTail log;
        const auto result =
            install(installer, item(bad.name, bad.bytes, bad.version, bad.signature, bad.length));
        ASSERT_EQ(result.size(), 1);
        EXPECT_TRUE(result[0].toString().contains(bad.message))
            << result[0].toString().toStdString();
        EXPECT_TRUE(log.text().contains("updater: refused update " + bad.version + " — "))
            << log.text().toStdString();
        EXPECT_TRUE(filesIn("staging").isEmpty());
    }
    EXPECT_EQ(contents(program), "old release");
    EXPECT_TRUE(files.opened.isEmpty());
    EXPECT_TRUE(files.revealed.isEmpty());
    EXPECT_TRUE(filesIn("Downloads").isEmpty());
}

TEST_F(InstallerTest, NoDownloadWritesThroughALinkOrGrowsPastTheCap) {
    UpdateInstaller installer = makeInstaller();
    const QString mine = dir.filePath("mine.txt");
    put(mine, "the user's own file");
    const QString nowhere = dir.filePath("framlet.desktop");  // not there yet
    QDir(dir.path()).mkpath("staging");
    QDir(dir.path()).mkpath("Downloads");
    ASSERT_TRUE(QFile::link(mine, dir.filePath("staging/Framlet-2.0.tar.gz.part")));
    ASSERT_TRUE(QFile::link(nowhere, dir.filePath("Downloads/Framlet-2.0.tar.gz")));

    const auto saved = install(installer, item("Framlet-2.0.tar.gz", other));
    ASSERT_EQ(saved.size(), 3);
    EXPECT_NE(QFileInfo(saved[1].toString()).fileName(), u"Framlet-2.0.tar.gz");
    EXPECT_EQ(contents(saved[1].toString()), other);
    EXPECT_EQ(contents(mine), "the user's own file");
    EXPECT_FALSE(QFileInfo::exists(nowhere));
    EXPECT_TRUE(QFileInfo(dir.filePath("Downloads/Framlet-2.0.tar.gz")).isSymLink());

    // However large the feed says a release is, no more than the cap is ever fetched.
    const auto huge = install(installer, item("huge.tar.gz", other, "2.0", {}, qint64{1} << 40));
    ASSERT_EQ(huge.size(), 1);
    EXPECT_EQ(server.requests("/huge.tar.gz"), 0);
}

// Runs in a child of its own: the tmpfs is mounted in the child's private mount namespace.
TEST_F(InstallerTest, ChildOnAFullDisk) {
    FRAMLET_SMALL_DISK(disk, 4 << 20)
    const QString program = disk + "/Framlet.AppImage";
    put(program, "old release");
    QByteArray release = appImage("2.0");
    release.append(QByteArray((1 << 20) + 6000 - release.size(), 'x'));
    // Room for all of the release but its last kilobytes: the end of a file is what a buffered
    // writer loses without noticing.
    ASSERT_TRUE(test::SmallDisk::fill(disk));
    QFile filler(disk + "/.filler");
    ASSERT_TRUE(filler.resize(filler.size() - (1 << 20) - 4096));
    UpdateInstaller installer = makeInstaller(program);
    const auto result = install(installer, item("Framlet-2.0.AppImage", release));
    ASSERT_EQ(result.size(), 3);
    EXPECT_EQ(result[0].value<Outcome>(), Outcome::savedToDownloadsInstead);
    EXPECT_TRUE(result[2].toString().contains(u"No space left"))
        << result[2].toString().toStdString();
    EXPECT_EQ(contents(program), "old release");
}

TEST_F(InstallerTest, OnAFullDiskTheAppImageStaysTheOldProgramAndTheUserIsTold) {
    test::SmallDisk::runChild("InstallerTest.ChildOnAFullDisk", dir.filePath("disk"));
}

TEST(UpdateTransferTest, GivesUpOnAServerThatDoesNotAnswerAndFetchesOnlyOverHttps) {
    QNetworkAccessManager network;
    test::ManualTimers timers;
    test::LoopbackServer server;
    server.serve("/slow", test::LoopbackServer::Response{200, {}, {}, true});
    UpdateTransfer silent(network, timers, server.url("/slow"), {1000, 200ms, 1h});
    QSignalSpy failed(&silent, &UpdateTransfer::failed);
    silent.start();
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_TRUE(failed[0][0].toString().contains(u"did not answer in time"));

    EXPECT_FALSE(UpdateTransfer::isAllowed(QUrl("http://example.org/feed")));
    EXPECT_FALSE(UpdateTransfer::isAllowed(QUrl("file:///etc/passwd")));
    EXPECT_TRUE(UpdateTransfer::isAllowed(QUrl("https://example.org/feed")));
}

}  // namespace
}  // namespace framlet
