#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "ActionsSupport.h"
#include "library/decoding/DecodeBudget.h"
#include "platform/Clipboard.h"
#include "platform/FileManager.h"
#include "platform/Trash.h"
#include "shelf/ShelfActions.h"

namespace framlet::test {

// Stands in for the desktop's default applications: records each URL it is asked to open.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

// A file manager on the session bus, on a connection of its own as another program's would be.
class FakeFileManager1 : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    FakeFileManager1()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                              QStringLiteral("fake-file-manager"))) {
        m_bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this,
                             QDBusConnection::ExportAllSlots);
        registered = m_bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    }
    ~FakeFileManager1() override {
        m_bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
    }

    bool registered = false;
    QList<QStringList> shown;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { shown.append(uris); }

private:
    QDBusConnection m_bus;
};

class ShelfActionsTest : public ::testing::Test {
protected:
    ImageFolder folder;
    FileManager m_fileManager;
    DecodeBudget m_budget{DecodeBudget::processCapacity};
    QStringList alerts;
    ShelfActions actions{Trash::shared(), m_fileManager, Clipboard::shared(), m_budget,
                         [this](const QString& message) { alerts.append(message); }};
};

TEST_F(ShelfActionsTest, CopiedImagesGoAsImageDataAndSeveralAlsoAsFilesLeavingOutUnreadableOnes) {
    const QUrl first = folder.addImage(QStringLiteral("first.png"), {20, 30}, Qt::green);
    const QUrl broken = folder.addBroken(QStringLiteral("broken.png"));
    const QUrl second = folder.addImage(QStringLiteral("second.png"), {10, 10}, Qt::red);

    // One image is image data only.
    actions.copyImages({first});
    auto png = readClipboard(QStringLiteral("image/png"));
    ASSERT_TRUE(png);
    EXPECT_EQ(QImage::fromData(*png).size(), QSize(20, 30));
    EXPECT_EQ(QImage::fromData(*png).pixelColor(5, 5), QColor(Qt::green));
    EXPECT_FALSE(readClipboard(QStringLiteral("TARGETS")).value_or("").contains("uri-list"));

    actions.copyImages({first, broken, second});
    png = readClipboard(QStringLiteral("image/png"));
    ASSERT_TRUE(png);
    EXPECT_EQ(QImage::fromData(*png).pixelColor(1, 1), QColor(Qt::green));
    const QByteArray uris = first.toEncoded() + "\r\n" + second.toEncoded() + "\r\n";
    EXPECT_EQ(readClipboard(QStringLiteral("text/uri-list")).value_or(""), uris);
    EXPECT_EQ(readClipboard(QStringLiteral("x-special/gnome-copied-files")).value_or(""),
              "copy\n" + first.toEncoded() + "\n" + second.toEncoded());

    // Nothing readable at all empties the clipboard.
    actions.copyImages({broken, QUrl::fromLocalFile(folder.path(QStringLiteral("gone.png")))});
    EXPECT_FALSE(readClipboard(QStringLiteral("text/plain")));
    EXPECT_FALSE(readClipboard(QStringLiteral("image/png")));
}

TEST_F(ShelfActionsTest, PathsAreCopiedOnePerLineAndNothingLeavesTheClipboardAlone) {
    const QUrl a = folder.addImage(QStringLiteral("a b.png"));
    const QUrl b = folder.addImage(QStringLiteral("ü.png"));

    actions.copyPaths({a, b});
    const QByteArray expected = (a.toLocalFile() + "\n" + b.toLocalFile()).toUtf8();
    EXPECT_EQ(readClipboard(QStringLiteral("text/plain")).value_or(""), expected);

    actions.copyPaths({});
    EXPECT_EQ(readClipboard(QStringLiteral("UTF8_STRING")).value_or(""), expected);
}

TEST_F(ShelfActionsTest, MovedFilesLandInTheHomeTrashAndAFailureIsLoggedAndShown) {
    const QUrl a = folder.addImage(QStringLiteral("a.png"));
    const QUrl kept = QUrl::fromLocalFile(folder.path(QStringLiteral("vanished.png")));
    const QUrl b = folder.addImage(QStringLiteral("b.png"));
    QObject context;
    std::optional<QList<QUrl>> moved;
    const LogTail log;

    actions.moveToTrash({a, kept, b}, &context, [&](const QList<QUrl>& urls) { moved = urls; });

    ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.isEmpty(); }));
    EXPECT_EQ(moved, (QList<QUrl>{a, b}));  // only the moved files
    const QString trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
    for (const QString& name : {QStringLiteral("a.png"), QStringLiteral("b.png")}) {
        EXPECT_FALSE(QFile::exists(folder.path(name)));
        EXPECT_TRUE(QFile::exists(trash + "/files/" + name));
        QFile info(trash + "/info/" + name + ".trashinfo");
        ASSERT_TRUE(info.open(QIODevice::ReadOnly));
        EXPECT_TRUE(info.readAll().contains("Path=" + folder.path(name).toUtf8()));
    }
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0],
              QStringLiteral("“vanished.png” couldn’t be moved to the Trash: the file no longer "
                             "exists."));
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("trash: failed — ") + alerts[0]));

    // A context gone before the move ended hears nothing, but the failure is still shown.
    const QUrl c = folder.addImage(QStringLiteral("c.png"));
    auto gone = std::make_unique<QObject>();
    actions.moveToTrash({c, kept}, gone.get(), [](const QList<QUrl>&) { ADD_FAILURE(); });
    gone.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.size() == 2; }));
    EXPECT_FALSE(QFile::exists(c.toLocalFile()));
}

TEST_F(ShelfActionsTest, WithoutAHomeTrashNothingIsMovedAnywhere) {
    // A data folder below a plain file can never be made, not even by root.
    QFile(folder.path(QStringLiteral("plain"))).open(QIODevice::WriteOnly);
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", folder.path(QStringLiteral("plain/share")).toUtf8());
    const QUrl a = folder.addImage(QStringLiteral("a.png"));

    const Trash::Result result = Trash::shared().moveToTrash({a});
    qputenv("XDG_DATA_HOME", dataHome);

    EXPECT_TRUE(result.moved.isEmpty());
    ASSERT_EQ(result.failures.size(), 1);
    EXPECT_EQ(result.failures[0].url, a);
    EXPECT_TRUE(QFile::exists(a.toLocalFile()));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath(QStringLiteral("files/a.png"))));
}

TEST_F(ShelfActionsTest, RevealAsksTheFileManagerForAllFilesTogether) {
    FakeFileManager1 fileManager;
    ASSERT_TRUE(fileManager.registered);
    OpenedUrls opened;
    const QUrl a = folder.addImage(QStringLiteral("a b.png"));
    const QUrl b = folder.addImage(QStringLiteral("b.png"));
    QSignalSpy revealed(&m_fileManager, &FileManager::revealed);

    actions.reveal({a, b});

    ASSERT_TRUE(revealed.wait());
    ASSERT_EQ(fileManager.shown.size(), 1);
    EXPECT_EQ(fileManager.shown[0],
              (QStringList{QString::fromUtf8(a.toEncoded()), QString::fromUtf8(b.toEncoded())}));
    EXPECT_TRUE(opened.urls.isEmpty());
}

TEST_F(ShelfActionsTest, OpenHandsEachFileToItsApplicationAndRevealWithoutAFileManagerEachFolder) {
    OpenedUrls opened;
    ImageFolder other;
    const QUrl a = folder.addImage(QStringLiteral("a.png"));
    const QUrl b = other.addImage(QStringLiteral("b.png"));
    const QUrl c = folder.addImage(QStringLiteral("c.png"));
    actions.open({c, a});
    EXPECT_EQ(opened.urls, (QList<QUrl>{c, a}));  // in order
    opened.urls.clear();
    QSignalSpy fellBack(&m_fileManager, &FileManager::revealFellBack);

    actions.reveal({a, b, c});  // each folder once

    ASSERT_TRUE(fellBack.wait());
    EXPECT_EQ(opened.urls,
              (QList<QUrl>{a.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash),
                           b.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash)}));
}

}  // namespace framlet::test

#include "ShelfActionsTest.moc"
