#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FileBytes.h"
#include "SmallDisk.h"
#include "library/textcache/SqliteTextCache.h"

namespace framlet {
namespace {

TextKey keyFor(const QString& path, qint64 modifiedNs = 100) {
    return {path, 7, 42, 1000, modifiedNs, "tesseract 5; pipeline 1"};
}

QStringList asideFiles(const QString& folder) {
    return QDir(folder).entryList({"texts.sqlite.damaged-*"}, QDir::Files);
}

void run(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class SqliteTextCacheTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_file = m_dir.filePath("Framlet/texts.sqlite");
};

TEST_F(SqliteTextCacheTest, KeepsTextForTheSameContentsAndFindsItByAnyRunOfCharacters) {
    {
        SqliteTextCache cache(m_file);
        ASSERT_EQ(cache.state(), SqliteTextCache::State::open);
        cache.remember(keyFor("/s/Old.png", 100), "Invoice 4711");
        cache.remember(keyFor("/s/new.png", 200), "invoice \"draft\"");
        cache.remember(keyFor("/s/a.png", 300), "x");
    }
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(m_file).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    SqliteTextCache cache(m_file);  // a second launch
    EXPECT_EQ(cache.text(keyFor("/s/Old.png")), "invoice 4711");
    // Any other contents, or another recogniser, is a miss.
    for (auto change : {+[](TextKey& k) { ++k.device; }, +[](TextKey& k) { ++k.inode; },
                        +[](TextKey& k) { ++k.size; }, +[](TextKey& k) { ++k.modifiedNs; },
                        +[](TextKey& k) { k.recognizer += QLatin1Char('2'); }}) {
        TextKey other = keyFor("/s/Old.png");
        change(other);
        EXPECT_FALSE(cache.text(other));
    }
    // Through the index, case-insensitive, newest first, quotes taken literally; file names count.
    EXPECT_EQ(cache.search("VOICE", 10), QStringList({"/s/new.png", "/s/Old.png"}));
    EXPECT_EQ(cache.search("\"draft\"", 10), QStringList("/s/new.png"));
    EXPECT_EQ(cache.search("old.p", 10), QStringList("/s/Old.png"));
    EXPECT_EQ(cache.search("invoice", 1), QStringList("/s/new.png"));
    // Shorter than a trigram: still any run of characters, by the shelf's rule.
    EXPECT_EQ(cache.search("47", 10), QStringList("/s/Old.png"));
    EXPECT_EQ(cache.search("X", 10), QStringList("/s/a.png"));
    EXPECT_TRUE(cache.search("4712", 10).isEmpty());
    // A file of the same nanosecond as another is kept beside it.
    cache.remember(keyFor("/s/twin.png", 100), "invoice");
    EXPECT_EQ(cache.search("invoice", 10).size(), 3);
    cache.forget({"/s/twin.png"});

    cache.remember(keyFor("/s/Old.png", 400), "receipt");
    EXPECT_TRUE(cache.search("4711", 10).isEmpty());
    EXPECT_EQ(cache.search("receipt", 10), QStringList("/s/Old.png"));

    cache.forget({"/s/gone.png", "/s/new.png"});
    EXPECT_FALSE(cache.text(keyFor("/s/new.png", 200)));
    EXPECT_TRUE(cache.search("draft", 10).isEmpty());
    EXPECT_TRUE(cache.text(keyFor("/s/a.png", 300)));
    cache.keepOnly({"/s/a.png"});
    EXPECT_FALSE(cache.text(keyFor("/s/Old.png", 400)));
    EXPECT_TRUE(cache.text(keyFor("/s/a.png", 300)));

    cache.forgetAll();
    EXPECT_TRUE(cache.search("receipt", 10).isEmpty());
    EXPECT_FALSE(cache.text(keyFor("/s/a.png", 300)));
}

// Query syntax of the index is only text here: every query finds exactly what a scan finds.
TEST_F(SqliteTextCacheTest, QueriesThatLookLikeIndexSyntaxMatchAsPlainText) {
    SqliteTextCache cache(m_file);
    const QStringList texts{"a* or b", "name:x near(1) ^start",
                            "it's \"quoted\" -- not; drop table", "ünïcödé ÄÖÜ and ǅ"};
    for (int i = 0; i < texts.size(); ++i) {
        cache.remember(keyFor(QStringLiteral("/s/%1.png").arg(i), i + 1), texts[i]);
    }
    for (const QString query :
         {"*",          "a*", "OR", " or ", "name:",      "near(", "^st", "\"",
          "\"quoted\"", "'s", "--", ";",    "drop table", "ÖÜ",    "äöü", "ǆ",
          "AND",        "(",  ")",  "\\",   "%",          "_"}) {
        QStringList scanned;
        for (int i = int(texts.size()) - 1; i >= 0; --i) {
            if (texts[i].toLower().contains(query.toLower()) ||
                QStringLiteral("%1.png").arg(i).contains(query.toLower())) {
                scanned.append(QStringLiteral("/s/%1.png").arg(i));
            }
        }
        EXPECT_EQ(cache.search(query, 10), scanned) << query.toStdString();
    }
}

TEST_F(SqliteTextCacheTest, ADamagedOrForeignDatabaseIsMovedAsideAndMadeAnew) {
    const QString folder = QFileInfo(m_file).absolutePath();
    {
        SqliteTextCache cache(m_file);
        for (int i = 0; i < 200; ++i) {
            cache.remember(keyFor(QStringLiteral("/s/%1.png").arg(i)),
                           QString(500, QLatin1Char('w')));
        }
    }
    QFile truncated(m_file);
    ASSERT_TRUE(truncated.resize(truncated.size() / 2));
    {
        SqliteTextCache cache(m_file);
        EXPECT_EQ(cache.state(), SqliteTextCache::State::open);
        EXPECT_EQ(asideFiles(folder).size(), 1);
        EXPECT_FALSE(cache.text(keyFor("/s/1.png")));
        cache.remember(keyFor("/s/1.png"), "again");
        EXPECT_EQ(cache.text(keyFor("/s/1.png")), "again");
    }
    ASSERT_TRUE(QFile::remove(m_file));
    run(m_file, "CREATE TABLE notes(body TEXT); INSERT INTO notes VALUES ('mine')");
    {
        SqliteTextCache cache(m_file);
        EXPECT_EQ(cache.state(), SqliteTextCache::State::open);
    }
    ASSERT_TRUE(test::put(m_file, QByteArray(5000, '\x17')));
    SqliteTextCache cache(m_file);
    EXPECT_EQ(cache.state(), SqliteTextCache::State::open);
    EXPECT_EQ(asideFiles(folder).size(), 3);
}

TEST_F(SqliteTextCacheTest, ADatabaseOfANewerVersionIsOnlyRead) {
    {
        SqliteTextCache cache(m_file);
        cache.remember(keyFor("/s/a.png"), "kept");
    }
    run(m_file, "PRAGMA user_version=99");
    const QByteArray before = test::contents(m_file);
    {
        SqliteTextCache cache(m_file);
        EXPECT_EQ(cache.state(), SqliteTextCache::State::readOnly);
        EXPECT_EQ(cache.text(keyFor("/s/a.png")), "kept");
        cache.remember(keyFor("/s/b.png"), "new");
        cache.forgetAll();
        cache.keepOnly({});
        EXPECT_FALSE(cache.text(keyFor("/s/b.png")));
    }
    EXPECT_EQ(test::contents(m_file), before);
    EXPECT_FALSE(QFile::exists(m_file + "-wal") && QFileInfo(m_file + "-wal").size() > 0);
}

// Another Framlet (a second session's, a shared network home) holds the database; SQLite tells
// connections of one process apart as it tells processes apart.
TEST_F(SqliteTextCacheTest, ADatabaseAnotherProgramHoldsMeansRunningWithoutIt) {
    {
        SqliteTextCache holder(m_file);
        holder.remember(keyFor("/s/a.png"), "text");
        SqliteTextCache cache(m_file);
        EXPECT_EQ(cache.state(), SqliteTextCache::State::unavailable);
        EXPECT_FALSE(cache.text(keyFor("/s/a.png")));
        cache.remember(keyFor("/s/b.png"), "dropped");
        EXPECT_TRUE(cache.search("text", 5).isEmpty());
    }
    SqliteTextCache cache(m_file);  // once it let go, nothing was lost or moved aside
    EXPECT_EQ(cache.text(keyFor("/s/a.png")), "text");
    EXPECT_TRUE(asideFiles(QFileInfo(m_file).absolutePath()).isEmpty());
}

TEST_F(SqliteTextCacheTest, AFullDiskKeepsWhatIsThereAndAddsNothing) {
    test::SmallDisk::runChild("SqliteTextCacheChild.FullDisk", m_dir.path());
}

TEST(SqliteTextCacheChild, FullDisk) {
    FRAMLET_SMALL_DISK(folder, 512 * 1024)
    const QString file = folder + "/texts.sqlite";
    SqliteTextCache cache(file);
    ASSERT_EQ(cache.state(), SqliteTextCache::State::open);
    cache.remember(keyFor("/s/a.png"), "before");
    ASSERT_TRUE(test::SmallDisk::fill(folder));
    for (int i = 0; i < 50; ++i) {
        cache.remember(keyFor(QStringLiteral("/s/%1.png").arg(i)), QString(4000, QLatin1Char('z')));
    }
    cache.keepOnly({"/s/a.png"});
    EXPECT_EQ(cache.text(keyFor("/s/a.png")), "before");
    EXPECT_EQ(cache.search("befo", 5), QStringList("/s/a.png"));
    // A launch on the full disk runs without the cache rather than failing.
    SqliteTextCache second(folder + "/other.sqlite");
    EXPECT_EQ(second.state(), SqliteTextCache::State::unavailable);
}

}  // namespace
}  // namespace framlet
