#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "LoopbackServer.h"
#include "RecordingFileManager.h"
#include "SigningKey.h"
#include "updates/UpdateInstaller.h"
#include "updates/UpdateSignature.h"
#include "updates/UpdateTransfer.h"

namespace framlet {
namespace {

using namespace std::chrono_literals;
using Outcome = UpdateInstaller::Outcome;

class InstallerTest : public ::testing::Test {
protected:
    InstallerTest() : release(QByteArray("#!/bin/sh\necho new release\n").repeated(2000)) {}

    UpdateInstaller::Places places(const QString& appImage = {}) const {
        return {dir.filePath(QStringLiteral("staging")), dir.filePath(QStringLiteral("Downloads")),
                appImage};
    }

    AppcastItem item(const QString& name, QByteArray signature = {}, qint64 length = -1) {
        server.serve(u'/' + name, release);
        AppcastItem result;
        result.version = result.displayVersion = QStringLiteral("2.0");
        result.url = server.url(u'/' + name);
        result.length = length < 0 ? release.size() : length;
        result.edSignature = signature.isEmpty() ? key.signatureBase64(release) : signature;
        return result;
    }

    UpdateInstaller makeInstaller(const QString& appImage = {}) {
        return UpdateInstaller(network, *UpdateSignature::publicKey(key.publicKeyBase64()),
                               places(appImage), files, 5s);
    }

    // Installs and waits for the outcome: the signal's arguments, failed or installed.
    QList<QVariant> install(UpdateInstaller& installer, const AppcastItem& update) {
        QSignalSpy installed(&installer, &UpdateInstaller::installed);
        QSignalSpy failed(&installer, &UpdateInstaller::failed);
        installer.install(update);
        for (int i = 0; i < 100 && installed.isEmpty() && failed.isEmpty(); ++i) {
            installed.wait(100);
        }
        return installed.isEmpty() ? failed.value(0) : installed.value(0);
    }

    QString oldAppImage() const {
        const QString path = dir.filePath(QStringLiteral("Framlet.AppImage"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("old release");
        return path;
    }

    QStringList filesIn(const QString& folder) const {
        return QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
    QNetworkAccessManager network;
    test::LoopbackServer server;
    test::SigningKey key;
    test::RecordingFileManager files;
    QByteArray release;
};

TEST_F(InstallerTest, AVerifiedDownloadIsSavedAndShownOrHandedToThePackageInstaller) {
    UpdateInstaller installer = makeInstaller();
    const auto saved = install(installer, item(QStringLiteral("Framlet-2.0.tar.gz")));
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0].value<Outcome>(), Outcome::savedToDownloads);
    EXPECT_EQ(files.revealed, QList<QUrl>{QUrl::fromLocalFile(saved[1].toString())});
    QFile file(saved[1].toString());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), release);

    const auto package = install(installer, item(QStringLiteral("framlet_2.0_amd64.deb")));
    EXPECT_EQ(package[0].value<Outcome>(), Outcome::handedToPackageInstaller);
    EXPECT_EQ(files.opened, QList<QUrl>{QUrl::fromLocalFile(package[1].toString())});
    EXPECT_TRUE(filesIn(QStringLiteral("staging")).isEmpty());
}

TEST_F(InstallerTest, ARunningAppImageIsReplacedWhole) {
    const QString appImage = oldAppImage();
    QFile old(appImage);
    UpdateInstaller installer = makeInstaller(appImage);
    const auto result = install(installer, item(QStringLiteral("Framlet-2.0-x86_64.AppImage")));
    ASSERT_EQ(result.size(), 2);
    EXPECT_EQ(result[0].value<Outcome>(), Outcome::replacedAppImage);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), release);
    EXPECT_TRUE(QFileInfo(appImage).isExecutable());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Framlet.AppImage")});

    // One it cannot write beside is still verified and kept, in Downloads.
    UpdateInstaller blocked = makeInstaller(dir.filePath(QStringLiteral("gone/Framlet.AppImage")));
    const auto saved = install(blocked, item(QStringLiteral("Framlet-2.1-x86_64.AppImage")));
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0].value<Outcome>(), Outcome::savedToDownloads);
    EXPECT_TRUE(QFileInfo(saved[1].toString()).isFile());
}

TEST_F(InstallerTest, ADownloadThatFailsItsChecksIsDeletedAndNeverUsed) {
    const QString appImage = oldAppImage();
    QFile old(appImage);
    UpdateInstaller installer = makeInstaller(appImage);
    test::SigningKey stranger;
    const QList<AppcastItem> bad{
        item(QStringLiteral("a.AppImage"), stranger.signatureBase64(release)),
        item(QStringLiteral("b.AppImage"), key.signatureBase64("something else")),
        item(QStringLiteral("c.AppImage"), {}, release.size() + 10),  // a short download
        item(QStringLiteral("d.AppImage"), {}, release.size() - 10),  // a long one
    };
    for (const AppcastItem& update : bad) {
        const auto result = install(installer, update);
        ASSERT_EQ(result.size(), 1) << update.url.toString().toStdString();
        EXPECT_TRUE(filesIn(QStringLiteral("staging")).isEmpty());
    }
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old release");
    EXPECT_TRUE(files.opened.isEmpty());
    EXPECT_TRUE(files.revealed.isEmpty());
    EXPECT_TRUE(filesIn(QStringLiteral("Downloads")).isEmpty());
}

TEST(UpdateTransferTest, GivesUpOnAServerThatDoesNotAnswer) {
    QNetworkAccessManager network;
    test::LoopbackServer server;
    server.serve(QStringLiteral("/slow"), test::LoopbackServer::Response{200, {}, {}, true});
    UpdateTransfer transfer(network, server.url("/slow"), {1000, 200ms});
    QSignalSpy failed(&transfer, &UpdateTransfer::failed);
    transfer.start();
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_TRUE(failed[0][0].toString().contains(u"did not answer in time"));

    EXPECT_FALSE(UpdateTransfer::isAllowed(QUrl(QStringLiteral("http://example.org/feed"))));
    EXPECT_FALSE(UpdateTransfer::isAllowed(QUrl(QStringLiteral("file:///etc/passwd"))));
    EXPECT_TRUE(UpdateTransfer::isAllowed(QUrl(QStringLiteral("https://example.org/feed"))));
}

}  // namespace
}  // namespace framlet
