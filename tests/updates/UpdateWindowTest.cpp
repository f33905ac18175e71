#include <gtest/gtest.h>

#include <QLabel>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "LoopbackServer.h"
#include "ManualTimers.h"
#include "RecordingFileManager.h"
#include "SigningKey.h"
#include "updates/UpdateSignature.h"
#include "updates/widgets/UpdateWindow.h"

namespace framlet {
namespace {

using namespace std::chrono_literals;

TEST(UpdateWindowTest, ShowsTheNotesAndReportsARefusedDownload) {
    QTemporaryDir dir;
    QNetworkAccessManager network;
    test::LoopbackServer server;
    test::SigningKey key;
    test::RecordingFileManager files;
    test::ManualTimers timers;
    UpdateInstaller installer(network, timers,
                              {*UpdateSignature::publicKey(key.publicKeyBase64()), "1.9"},
                              {dir.filePath("staging"), dir.filePath("Downloads"), {}}, files, 5s);
    UpdateWindow window(installer, "1.9");
    server.serve("/u.tar.gz", "tampered");
    AppcastItem item;
    item.version = item.displayVersion = "2.0";
    item.releaseNotes = "<p>Quicker <b>search</b><img src=\"https://t.example/i\"></p>";
    item.url = server.url("/u.tar.gz");
    item.length = 8;
    item.edSignature = key.signatureBase64("original");
    // However long the notes, the window shows at once and the notes follow when cleaned.
    item.releaseNotes +=
        QStringLiteral("<p>Shot<img src=\"https://t.example/i\"></p>").repeated(20000);
    window.present(item);
    EXPECT_FALSE(window.notes()->toPlainText().contains(u"Quicker search"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.notes()->toPlainText().contains(u"Quicker search"); }, 60000));
    EXPECT_FALSE(window.notes()->toHtml().contains(u"t.example"));

    QSignalSpy failed(&installer, &UpdateInstaller::failed);
    window.installButton()->click();
    EXPECT_FALSE(window.installButton()->isEnabled());
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_TRUE(window.statusLabel()->text().contains(u"not signed"));
    EXPECT_TRUE(window.installButton()->isEnabled());

    QSignalSpy skipped(&window, &UpdateWindow::skipped);
    window.skipButton()->click();
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_EQ(skipped[0][0].value<AppcastItem>().version, u"2.0");
}

}  // namespace
}  // namespace framlet
