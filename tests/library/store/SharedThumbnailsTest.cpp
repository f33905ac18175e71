#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "ManualTimers.h"
#include "SmallDisk.h"
#include "TestImages.h"
#include "library/decoding/DecodeBudget.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "library/store/SharedThumbnails.h"

using namespace framlet;
using Size = SharedThumbnails::Size;

namespace {

class SharedThumbnailsTest : public ::testing::Test {
protected:
    ~SharedThumbnailsTest() override { m_pool.waitForDone(); }

    QString shot(const QString& name, QSize size = {1600, 900}) {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(test::writeScreenshot(path, size, "png"));
        return path;
    }
    // A new shelf over the files, as at a launch, run until each has its thumbnail or gave up.
    void open(const QStringList& paths, int pixels = 200) {
        m_pool.waitForDone();
        m_store = std::make_unique<ScreenshotStore>([](OCRService::Job, OCRService::Completion) {},
                                                    m_budget, m_timers, m_pool, m_using);
        m_store->setThumbnailPixels(pixels);
        for (const QString& path : paths) {
            m_store->add(QUrl::fromLocalFile(path), QDateTime::currentDateTimeUtc());
        }
        for (const Screenshot* item : m_store->items()) {
            while (item->thumbnail().isNull() && !item->thumbnailFailed()) {
                ASSERT_TRUE(QTest::qWaitFor([&] {
                    return m_timers.hasPending() || !item->thumbnail().isNull() ||
                           item->thumbnailFailed();
                }));
                m_timers.fireNext();
            }
        }
        m_pool.waitForDone();  // failures are recorded after the give-up
    }
    QImage thumbnail(const QString& path) const {
        return m_store->screenshot(QUrl::fromLocalFile(path))->thumbnail();
    }
    // A thumbnail as another program writes it (Qt compresses long texts, as some do).
    void plant(const QString& file, Size size, QSize pixels, const QByteArray& uri,
               qint64 mtime) const {
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        image.setText("Thumb::URI", QString::fromUtf8(uri));
        image.setText("Thumb::MTime", QString::number(mtime));
        QDir().mkpath(QFileInfo(m_shared.pathOf(file, size)).path());
        ASSERT_TRUE(image.save(m_shared.pathOf(file, size), "png"));
    }
    static qint64 mtimeOf(const QString& path) {
        return QFileInfo(path).lastModified().toSecsSinceEpoch();
    }
    QStringList cacheFiles() const {
        QStringList files;
        QDirIterator it(m_using->folder(), QDir::Files | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files.append(it.next());
        }
        return files;
    }

    QTemporaryDir m_dir;
    const SharedThumbnails m_shared = SharedThumbnails::forThisUser();
    const SharedThumbnails* m_using = &m_shared;
    DecodeBudget m_budget{DecodeBudget::processCapacity};
    test::ManualTimers m_timers;
    QThreadPool m_pool;
    std::unique_ptr<ScreenshotStore> m_store;
};

TEST(SharedThumbnailNames, UrisAreEscapedByteForByteAndNamedByTheirMd5) {
    // MD5s of the URIs spelled by the standard's rules, computed apart from this code.
    const std::pair<QByteArray, const char*> known[]{
        {"/home/jens/photos/me.png", "c6ee772d9e49320e97ec29a7eb5b1697"},
        {"/tmp/shots/a b#c%d;e.png", "0db3ab3d09c52f197f67438a1ba0ac2e"},
        {"/tmp/shots/new\nline\xff\xfe.png", "82da42fe13245d071c5731b5fad454a9"},
        {"/tmp/shots/Bildschirmfoto vom 2024-01-02 \xe2\x80\x93 10:11.png",
         "353b6985ba312ba052c69e393dde6853"},
        {"/tmp/shots/it's (1)+[x]?.png", "72664ef2695ed8c49ffef78e0b8437b6"}};
    for (const auto& [path, md5] : known) {
        EXPECT_EQ(SharedThumbnails::fileNameOf(SharedThumbnails::uriOf(path)),
                  QLatin1String(md5) + ".png");
    }
    EXPECT_EQ(SharedThumbnails::uriOf(QByteArray("/a b#c%d;e")), "file:///a%20b%23c%25d%3Be");
    EXPECT_EQ(SharedThumbnails::sizeFor(115), Size::normal);
    EXPECT_EQ(SharedThumbnails::sizeFor(1025), std::nullopt);
}

TEST_F(SharedThumbnailsTest, ThumbnailsMadeHereServeTheNextLaunchAndTheFileManager) {
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths.append(shot(QStringLiteral("shot %1 #%.png").arg(i)));
    }
    open(paths);
    EXPECT_EQ(m_budget.decodes(), 12u);
    const QString written = m_shared.pathOf(paths.first(), Size::large);
    const auto mode = [](const QString& path) {
        struct stat status {};
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777
                                                                         : 0u;
    };
    EXPECT_EQ(mode(written), 0600u);
    EXPECT_EQ(mode(QFileInfo(written).path()), 0700u);
    const QByteArray png = test::contents(written);
    const auto text = [](const QByteArray& key, const QByteArray& value) {
        return QByteArray("tEXt") + key + '\0' + value;
    };
    EXPECT_TRUE(png.contains(text("Thumb::URI", SharedThumbnails::uriOf(paths.first()))));
    EXPECT_TRUE(png.contains(text("Thumb::MTime", QByteArray::number(mtimeOf(paths.first())))));
    EXPECT_LT(png.indexOf("tEXt"), png.indexOf("IDAT"));
    EXPECT_EQ(QImage(written).size(), QSize(256, 144));

    open(paths);  // the next launch decodes nothing
    EXPECT_EQ(m_budget.decodes(), 12u);
    EXPECT_EQ(thumbnail(paths.last()).size(), QSize(256, 144));

    // One the file manager made, larger than needed, with its texts compressed.
    const QString other = shot("other.png");
    plant(other, Size::xLarge, {512, 288}, SharedThumbnails::uriOf(other), mtimeOf(other));
    open({other});
    EXPECT_EQ(m_budget.decodes(), 12u);
    EXPECT_EQ(thumbnail(other).pixelColor(10, 10), QColor(Qt::magenta));
    EXPECT_EQ(thumbnail(other).size(), QSize(256, 144));  // brought down to the class needed
}

TEST_F(SharedThumbnailsTest, StaleDamagedOrStrangeThumbnailsAreNeitherUsedNorKept) {
    const QString file = shot("shot.png", {800, 450});
    const QString target = m_shared.pathOf(file, Size::large);
    const QByteArray uri = SharedThumbnails::uriOf(file);
    const qint64 mtime = mtimeOf(file);
    const QString elsewhere = m_dir.filePath("valid-elsewhere.png");
    // Plants a thumbnail of the given pixels, URI and time for the file.
    const auto planted = [&](QSize pixels, const QByteArray& uri, qint64 time) {
        return [=, this] { plant(file, Size::large, pixels, uri, time); };
    };
    const auto valid = planted({256, 144}, uri, mtime);
    const std::vector<std::pair<const char*, std::function<void()>>> cases{
        {"older mtime", planted({256, 144}, uri, mtime - 1)},
        {"other file's uri", planted({256, 144}, uri + "x", mtime)},
        {"damaged", [&] { test::put(target, QByteArray(3000, 'x')); }},
        {"cut short",
         [&] {
             valid();
             QFile(target).resize(QFileInfo(target).size() - 16);  // into the pixels
         }},
        {"larger than its class", planted({400, 225}, uri, mtime)},
        {"taller than its class", planted({225, 400}, uri, mtime)},
        {"other size",
         [&] {
             valid();
             QImage image(target);
             image.setText("Thumb::Size", "17");
             image.save(target);
         }},
        {"link",
         [&] {
             valid();
             QFile::rename(target, elsewhere);
             QFile::link(elsewhere, target);
         }},
        {"fifo", [&] { ::mkfifo(QFile::encodeName(target).constData(), 0600); }},
    };
    for (const auto& [name, damage] : cases) {
        SCOPED_TRACE(name);
        QFile::remove(target);
        damage();
        const quint64 before = m_budget.decodes();
        open({file});
        EXPECT_EQ(m_budget.decodes(), before + 1);
        EXPECT_NE(thumbnail(file).pixelColor(10, 10), QColor(Qt::magenta));
        // Replaced by a valid one of its own, a regular file.
        EXPECT_FALSE(QFileInfo(target).isSymLink());
        EXPECT_FALSE(m_shared.find(file, FileStamp::of(file), Size::large).isNull());
    }
    EXPECT_EQ(QImage(elsewhere).pixelColor(10, 10), QColor(Qt::magenta));  // the link's target
}

TEST_F(SharedThumbnailsTest, FailuresAreRecordedAndSpareTheRetriesUntilTheFileChanges) {
    const QString bad = m_dir.filePath("bad.png");
    ASSERT_TRUE(test::put(bad, QByteArray(4096, '\x5a')));
    open({bad});
    EXPECT_TRUE(m_store->screenshot(QUrl::fromLocalFile(bad))->thumbnailFailed());
    EXPECT_TRUE(m_shared.failedBefore(bad, FileStamp::of(bad)));

    const size_t waits = m_timers.started().size();
    open({bad});  // gives up at once
    EXPECT_TRUE(m_store->screenshot(QUrl::fromLocalFile(bad))->thumbnailFailed());
    EXPECT_EQ(m_timers.started().size(), waits);

    ASSERT_TRUE(test::writeScreenshot(bad, {400, 300}, "png"));
    QFile(bad).setFileTime(QDateTime::currentDateTime().addSecs(60),
                           QFileDevice::FileModificationTime);
    open({bad});
    EXPECT_FALSE(thumbnail(bad).isNull());
}

TEST_F(SharedThumbnailsTest, CellsThatGrowGetLargerThumbnails) {
    const QString file = shot("grow.png");
    open({file}, 100);
    EXPECT_EQ(thumbnail(file).width(), 128);
    m_store->setThumbnailPixels(300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return thumbnail(file).width() == 512; }));
    EXPECT_TRUE(QFileInfo::exists(m_shared.pathOf(file, Size::xLarge)));
}

TEST_F(SharedThumbnailsTest, NothingIsWrittenForTheFolderItselfOrWhereItCannotBe) {
    QDir().mkpath(m_shared.folder() + "/normal");
    const QString inside = m_shared.folder() + "/normal/inside.png";
    ASSERT_TRUE(test::writeScreenshot(inside, {300, 200}, "png"));
    const QString link = m_dir.filePath("cache-link");
    ASSERT_TRUE(QFile::link(m_shared.folder(), link));
    const QStringList before = cacheFiles();
    open({inside, link + "/normal/inside.png"});
    EXPECT_FALSE(thumbnail(inside).isNull());
    EXPECT_EQ(cacheFiles(), before);

    // A cache folder that cannot be written: thumbnails stay in memory.
    QDir(m_shared.folder()).removeRecursively();
    ASSERT_TRUE(test::put(m_shared.folder(), "not a folder"));
    const QString file = shot("unwritable.png");
    open({file});
    EXPECT_EQ(thumbnail(file).size(), QSize(256, 144));
}

TEST_F(SharedThumbnailsTest, AFullDiskLeavesTheShelfWorkingAndNoTemporaryFiles) {
    test::SmallDisk::runChild("SharedThumbnailsChild.FullDisk", m_dir.filePath("disk"));
}

class SharedThumbnailsChild : public SharedThumbnailsTest {};

TEST_F(SharedThumbnailsChild, FullDisk) {
    FRAMLET_SMALL_DISK(folder)
    const SharedThumbnails onDisk(folder, "framlet-test");
    m_using = &onDisk;
    ASSERT_TRUE(test::SmallDisk::fill(folder));
    const QStringList before = cacheFiles();
    const QStringList paths{shot("a.png"), shot("b.png")};
    open(paths);
    for (const QString& path : paths) {
        EXPECT_EQ(thumbnail(path).size(), QSize(256, 144));
    }
    EXPECT_EQ(cacheFiles(), before);
    m_store.reset();
}

}  // namespace
