#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "WatcherTestSupport.h"
#include "library/watcher/FolderListing.h"

using namespace framlet;

namespace {

QStringList listedNames(const QString& folder) {
    QStringList names;
    for (const ListedFile& file : FolderListing::list(folder).files) {
        names.append(test::fileName(file.url));
    }
    names.sort();
    return names;
}

TEST(FolderListing, KeepsOnlyVisibleRegularFilesWithImageExtensionsInAnyCase) {
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    for (const char* name :
         {"a.png", "B.PNG", "c.JpEg", "d.jpg", "e.gif", "f.TIFF", "g.heic", "h.bmp", "i.tif",
          "j.webp", "k.pdf", "png", "l.png.txt", ".hidden.png"}) {
        test::writeFile(root + QString::fromLatin1(name));
    }
    QDir().mkdir(root + "folder.png");
    QFile::link(root + "a.png", root + "link.png");
    QFile::link(root + "gone.png", root + "dangling.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "pipe.png").constData(), 0600), 0);

    EXPECT_EQ(listedNames(dir.path()), QStringList({"B.PNG", "a.png", "c.JpEg", "d.jpg", "e.gif",
                                                    "f.TIFF", "g.heic", "h.bmp"}));
}

TEST(FolderListing, MissingUnreadableOrNonFolderPathsListAsEmpty) {
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/plain.png");

    const auto missing = FolderListing::list(dir.path() + "/nowhere");
    EXPECT_TRUE(missing.files.isEmpty());
    EXPECT_FALSE(missing.readable);
    EXPECT_TRUE(missing.gone);
    const auto plainFile = FolderListing::list(dir.path() + "/plain.png");
    EXPECT_TRUE(plainFile.files.isEmpty());
    EXPECT_FALSE(plainFile.readable);
    EXPECT_TRUE(FolderListing::list(dir.path()).readable);
    EXPECT_TRUE(FolderListing::list(QString()).files.isEmpty());
}

TEST(FolderListing, OddNamesRoundTripAndUndecodableNamesAreCountedNotGuessed) {
    QTemporaryDir dir;
    const QString spaced = dir.path() + "/Screenshot 2025-03-07 at 14.05.09.png";
    const QString newline = dir.path() + "/two\nlines #1?.png";
    const QString accented = dir.path() + "/Capture d’écran.png";
    for (const QString& path : {spaced, newline, accented}) {
        test::writeFile(path);
    }
    test::writeRawName(QFile::encodeName(dir.path()) + "/latin1-\xe9t\xe9.png");
    test::writeRawName(QFile::encodeName(dir.path()) + "/latin1-\xe9t\xe9.txt");

    const auto result = FolderListing::list(dir.path());
    EXPECT_EQ(result.undecodableNames, 1);
    QStringList paths;
    for (const ListedFile& file : result.files) {
        // Each listed URL leads back to the very file.
        EXPECT_TRUE(QFileInfo::exists(file.url.toLocalFile())) << file.url.toString().toStdString();
        paths.append(file.url.toLocalFile());
    }
    paths.sort();
    QStringList expected{spaced, newline, accented};
    expected.sort();
    EXPECT_EQ(paths, expected);
}

TEST(FolderListing, DatesAreBirthTimesWhereKeptAndModificationTimesOtherwise) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/old.png";
    test::writeFile(path);
    // A modification time far in the past tells the two apart wherever birth times exist.
    const QDateTime modified(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();

    const auto files = FolderListing::list(dir.path()).files;
    ASSERT_EQ(files.size(), 1);
    const QDateTime birth = QFileInfo(path).birthTime();
    if (birth.isValid()) {
        EXPECT_EQ(files[0].createdAt.toMSecsSinceEpoch(), birth.toMSecsSinceEpoch());
        EXPECT_GT(files[0].createdAt, modified);
    } else {
        EXPECT_EQ(files[0].createdAt, modified);
    }
    EXPECT_LT(FolderListing::distantPast(), modified);
}

}  // namespace
