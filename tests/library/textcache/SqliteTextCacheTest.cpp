#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <iostream>
#include <string>

#include "ChildProcess.h"
#include "SmallDisk.h"
#include "library/textcache/SqliteTextCache.h"

namespace framlet {
namespace {

TextKey keyFor(const QString& path, qint64 modifiedNs = 100) {
    return {path, 7, 42, 1000, modifiedNs, QStringLiteral("tesseract 5; pipeline 1")};
}

QStringList asideFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("texts.sqlite.damaged-*")}, QDir::Files);
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
    QString m_file = m_dir.filePath(QStringLiteral("Framlet/texts.sqlite"));
};

TEST_F(SqliteTextCacheTest, KeepsTextForTheSameContentsAndFindsItByAnyRunOfCharacters) {
    {
        SqliteTextCache cache(m_file);
        ASSERT_EQ(cache.state(), SqliteTextCache::State::open);
        cache.remember(keyFor(QStringLiteral("/s/Old.png"), 100), QStringLiteral("Invoice 4711"));
        cache.remember(keyFor(QStringLiteral("/s/new.png"), 200),
                       QStringLiteral("invoice \"draft\""));
        cache.remember(keyFor(QStringLiteral("/s/a.png"), 300), QStringLiteral("x"));
    }
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(m_file).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    SqliteTextCache cache(m_file);  // a second launch
    EXPECT_EQ(cache.text(keyFor(QStringLiteral("/s/Old.png"))), QStringLiteral("invoice 4711"));
    // Any other contents, or another recogniser, is a miss.
    for (auto change : {+[](TextKey& k) { ++k.device; }, +[](TextKey& k) { ++k.inode; },
                        +[](TextKey& k) { ++k.size; }, +[](TextKey& k) { ++k.modifiedNs; },
                        +[](TextKey& k) { k.recognizer += QLatin1Char('2'); }}) {
        TextKey other = keyFor(QStringLiteral("/s/Old.png"));
        change(other);
        EXPECT_FALSE(cache.text(other));
    }
    // Through the index, case-insensitive, newest first, quotes taken literally; file names count.
    EXPECT_EQ(cache.search(QStringLiteral("VOICE"), 10),
              QStringList({QStringLiteral("/s/new.png"), QStringLiteral("/s/Old.png")}));
    EXPECT_EQ(cache.search(QStringLiteral("\"draft\""), 10),
              QStringList(QStringLiteral("/s/new.png")));
    EXPECT_EQ(cache.search(QStringLiteral("old.p"), 10), QStringList(QStringLiteral("/s/Old.png")));
    EXPECT_EQ(cache.search(QStringLiteral("invoice"), 1),
              QStringList(QStringLiteral("/s/new.png")));
    // Shorter than a trigram: still any run of characters, by the shelf's rule.
    EXPECT_EQ(cache.search(QStringLiteral("47"), 10), QStringList(QStringLiteral("/s/Old.png")));
    EXPECT_EQ(cache.search(QStringLiteral("X"), 10), QStringList(QStringLiteral("/s/a.png")));
    EXPECT_TRUE(cache.search(QStringLiteral("4712"), 10).isEmpty());
    // A file of the same nanosecond as another is kept beside it.
    cache.remember(keyFor(QStringLiteral("/s/twin.png"), 100), QStringLiteral("invoice"));
    EXPECT_EQ(cache.search(QStringLiteral("invoice"), 10).size(), 3);
    cache.forget({QStringLiteral("/s/twin.png")});

    cache.remember(keyFor(QStringLiteral("/s/Old.png"), 400), QStringLiteral("receipt"));
    EXPECT_TRUE(cache.search(QStringLiteral("4711"), 10).isEmpty());
    EXPECT_EQ(cache.search(QStringLiteral("receipt"), 10),
              QStringList(QStringLiteral("/s/Old.png")));

    cache.forget({QStringLiteral("/s/gone.png"), QStringLiteral("/s/new.png")});
    EXPECT_FALSE(cache.text(keyFor(QStringLiteral("/s/new.png"), 200)));
    EXPECT_TRUE(cache.search(QStringLiteral("draft"), 10).isEmpty());
    EXPECT_TRUE(cache.text(keyFor(QStringLiteral("/s/a.png"), 300)));
    cache.keepOnly({QStringLiteral("/s/a.png")});
    EXPECT_FALSE(cache.text(keyFor(QStringLiteral("/s/Old.png"), 400)));
    EXPECT_TRUE(cache.text(keyFor(QStringLiteral("/s/a.png"), 300)));

    cache.forgetAll();
    EXPECT_TRUE(cache.search(QStringLiteral("receipt"), 10).isEmpty());
    EXPECT_FALSE(cache.text(keyFor(QStringLiteral("/s/a.png"), 300)));
}

// Query syntax of the index is only text here: every query finds exactly what a scan finds.
TEST_F(SqliteTextCacheTest, QueriesThatLookLikeIndexSyntaxMatchAsPlainText) {
    SqliteTextCache cache(m_file);
    const QStringList texts{QStringLiteral("a* or b"), QStringLiteral("name:x near(1) ^start"),
                            QStringLiteral("it's \"quoted\" -- not; drop table"),
                            QStringLiteral("ünïcödé ÄÖÜ and ǅ")};
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
        EXPECT_FALSE(cache.text(keyFor(QStringLiteral("/s/1.png"))));
        cache.remember(keyFor(QStringLiteral("/s/1.png")), QStringLiteral("again"));
        EXPECT_EQ(cache.text(keyFor(QStringLiteral("/s/1.png"))), QStringLiteral("again"));
    }
    ASSERT_TRUE(QFile::remove(m_file));
    run(m_file, "CREATE TABLE notes(body TEXT); INSERT INTO notes VALUES ('mine')");
    {
        SqliteTextCache cache(m_file);
        EXPECT_EQ(cache.state(), SqliteTextCache::State::open);
    }
    QFile garbage(m_file);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write(QByteArray(5000, '\x17'));
    garbage.close();
    SqliteTextCache cache(m_file);
    EXPECT_EQ(cache.state(), SqliteTextCache::State::open);
    EXPECT_EQ(asideFiles(folder).size(), 3);
}

TEST_F(SqliteTextCacheTest, ADatabaseOfANewerVersionIsOnlyRead) {
    {
        SqliteTextCache cache(m_file);
        cache.remember(keyFor(QStringLiteral("/s/a.png")), QStringLiteral("kept"));
    }
    run(m_file, "PRAGMA user_version=99");
    const QByteArray before = [&] {
        QFile file(m_file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    {
        SqliteTextCache cache(m_file);
        EXPECT_EQ(cache.state(), SqliteTextCache::State::readOnly);
        EXPECT_EQ(cache.text(keyFor(QStringLiteral("/s/a.png"))), QStringLiteral("kept"));
        cache.remember(keyFor(QStringLiteral("/s/b.png")), QStringLiteral("new"));
        cache.forgetAll();
        cache.keepOnly({});
        EXPECT_FALSE(cache.text(keyFor(QStringLiteral("/s/b.png"))));
    }
    QFile after(m_file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_FALSE(QFile::exists(m_file + QStringLiteral("-wal")) &&
                 QFileInfo(m_file + QStringLiteral("-wal")).size() > 0);
}

// Another process (a second session's Framlet, a shared network home) holds the database.
TEST_F(SqliteTextCacheTest, ADatabaseAnotherProcessHoldsMeansRunningWithoutIt) {
    {
        SqliteTextCache cache(m_file);
        cache.remember(keyFor(QStringLiteral("/s/a.png")), QStringLiteral("text"));
    }
    QProcess holder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FRAMLET_TEST_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("FRAMLET_TEST_DATABASE"), m_file);
    holder.setProcessEnvironment(environment);
    holder.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=SqliteTextCacheChild.HoldsTheDatabase")});
    QByteArray said;
    while (!said.contains("holding") && holder.waitForReadyRead(30000)) {
        said += holder.readAllStandardOutput();
    }
    ASSERT_TRUE(said.contains("holding")) << said.constData();
    {
        SqliteTextCache cache(m_file);
        EXPECT_EQ(cache.state(), SqliteTextCache::State::unavailable);
        EXPECT_FALSE(cache.text(keyFor(QStringLiteral("/s/a.png"))));
        cache.remember(keyFor(QStringLiteral("/s/b.png")), QStringLiteral("dropped"));
        EXPECT_TRUE(cache.search(QStringLiteral("text"), 5).isEmpty());
    }
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(30000));
    EXPECT_EQ(holder.exitCode(), 0);
    SqliteTextCache cache(m_file);  // once it let go, nothing was lost or moved aside
    EXPECT_EQ(cache.text(keyFor(QStringLiteral("/s/a.png"))), QStringLiteral("text"));
    EXPECT_TRUE(asideFiles(QFileInfo(m_file).absolutePath()).isEmpty());
}

TEST(SqliteTextCacheChild, HoldsTheDatabase) {
    SqliteTextCache cache(qEnvironmentVariable("FRAMLET_TEST_DATABASE"));
    ASSERT_EQ(cache.state(), SqliteTextCache::State::open);
    std::cout << "holding" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
}

TEST_F(SqliteTextCacheTest, AFullDiskKeepsWhatIsThereAndAddsNothing) {
    test::SmallDisk::runChild(QStringLiteral("SqliteTextCacheChild.FullDisk"), m_dir.path());
}

TEST(SqliteTextCacheChild, FullDisk) {
    FRAMLET_SMALL_DISK(folder, 512 * 1024)
    const QString file = folder + QStringLiteral("/texts.sqlite");
    SqliteTextCache cache(file);
    ASSERT_EQ(cache.state(), SqliteTextCache::State::open);
    cache.remember(keyFor(QStringLiteral("/s/a.png")), QStringLiteral("before"));
    ASSERT_TRUE(test::SmallDisk::fill(folder));
    for (int i = 0; i < 50; ++i) {
        cache.remember(keyFor(QStringLiteral("/s/%1.png").arg(i)), QString(4000, QLatin1Char('z')));
    }
    cache.keepOnly({QStringLiteral("/s/a.png")});
    EXPECT_EQ(cache.text(keyFor(QStringLiteral("/s/a.png"))), QStringLiteral("before"));
    EXPECT_EQ(cache.search(QStringLiteral("befo"), 5), QStringList(QStringLiteral("/s/a.png")));
    // A launch on the full disk runs without the cache rather than failing.
    SqliteTextCache second(folder + QStringLiteral("/other.sqlite"));
    EXPECT_EQ(second.state(), SqliteTextCache::State::unavailable);
}

}  // namespace
}  // namespace framlet
