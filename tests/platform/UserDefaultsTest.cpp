#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <future>

#include <sys/stat.h>

#include "ChildProcess.h"
#include "FileBytes.h"
#include "platform/UserDefaults.h"

using namespace framlet;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + "/Framlet/defaults.json"; }

    void writeFile(const QByteArray& contents) const { ASSERT_TRUE(test::put(path(), contents)); }

    QStringList keptAside() const {
        return QDir(m_dir.path() + "/Framlet").entryList({"defaults.json.damaged-*"}, QDir::Files);
    }

    QTemporaryDir m_dir;
};

TEST_F(UserDefaultsTest, ValuesKeepTheirTypesAcrossARoundTrip) {
    {
        UserDefaults defaults(path());
        EXPECT_TRUE(defaults.set("int", qint64{3}));
        defaults.set("double", 420.0);
        defaults.set("fraction", 0.1);
        defaults.set("bool", true);
        defaults.set("string", "dark \"quoted\" ~/é\n");
        defaults.set("list", QVariantList{"a", qint64{2}});
        defaults.set("nan", std::nan(""));
    }
    const UserDefaults reread(path());
    EXPECT_EQ(reread.object("int").typeId(), QMetaType::LongLong);
    EXPECT_EQ(reread.object("double").typeId(), QMetaType::Double);
    EXPECT_EQ(reread.object("double").toDouble(), 420.0);
    EXPECT_EQ(reread.object("fraction").toDouble(), 0.1);
    EXPECT_EQ(reread.object("bool").typeId(), QMetaType::Bool);
    EXPECT_EQ(reread.object("string").toString(), "dark \"quoted\" ~/é\n");
    const QVariantList list = reread.object("list").toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].typeId(), QMetaType::LongLong);
    // A value JSON cannot hold is dropped rather than making the file unreadable.
    EXPECT_FALSE(reread.object("nan").isValid());
    EXPECT_TRUE(keptAside().isEmpty());
}

// Written by hand in an editor that starts the file with a byte-order mark, which is no damage.
TEST_F(UserDefaultsTest, LenientReadersConvertLikeTypedPreferences) {
    writeFile(
        "\xef\xbb\xbf"
        R"({"i": 7, "d": 2.9, "s": "12", "b": true, "t": "yes", "list": [1], "o": "abc",)"
        R"( "big": "1e300", "nan": "nan", "inf": "-inf", "real": 1e300, "ok": "42.7"})");
    UserDefaults defaults(path());
    // Numbers no integer can hold read as the wrong type: 0.
    const std::pair<const char*, int> integers[]{
        {"i", 7},   {"d", 2},   {"s", 12},  {"b", 1},    {"list", 0}, {"missing", 0},
        {"big", 0}, {"nan", 0}, {"inf", 0}, {"real", 0}, {"ok", 42}};
    for (const auto& [key, integer] : integers) {
        EXPECT_EQ(defaults.integer(key), integer) << key;
    }
    EXPECT_EQ(defaults.real("i"), 7.0);
    EXPECT_TRUE(defaults.boolean("t"));
    EXPECT_FALSE(defaults.boolean("o"));
    EXPECT_EQ(defaults.string("i"), QString());
    defaults.set("theme", "dark");
    EXPECT_TRUE(keptAside().isEmpty());
    EXPECT_EQ(UserDefaults(path()).integer("i"), 7);
}

// A FIFO would hang start-up in open(); /dev/zero behind a link would be read for ever.
TEST_F(UserDefaultsTest, OnlyARegularFileOfSaneSizeIsRead) {
    QDir().mkpath(m_dir.path() + "/Framlet");
    const QByteArray fifo = QFile::encodeName(path());
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(UserDefaults(path()).contains("columns"));
    QFile::remove(path());
    ASSERT_TRUE(QFile::link("/dev/zero", path()));
    EXPECT_FALSE(UserDefaults(path()).contains("columns"));
    QFile::remove(path());
    writeFile("{\"columns\": 4, \"pad\": \"" + QByteArray(5 * 1024 * 1024, 'x') + "\"}");
    UserDefaults huge(path());
    EXPECT_FALSE(huge.contains("columns"));
    EXPECT_TRUE(huge.set("columns", qint64{2}));
    EXPECT_EQ(keptAside().size(), 1);  // handled as any damaged file

    // A link to a real file is the user's own business, and is read.
    QFile::remove(path());
    ASSERT_TRUE(QFile::link(m_dir.path() + "/elsewhere.json", path()));
    ASSERT_TRUE(test::put(m_dir.path() + "/elsewhere.json", R"({"columns": 5})"));
    EXPECT_EQ(UserDefaults(path()).integer("columns"), 5);
}

TEST_F(UserDefaultsTest, AFailedWriteHoldsForTheRunAndGoesAlongWithTheNext) {
    // A file where the folder should be: no write can succeed, whoever runs the test.
    const QString folder = m_dir.path() + "/Framlet";
    ASSERT_TRUE(test::put(folder, ""));
    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.set("columns", qint64{6}));
    EXPECT_EQ(defaults.integer("columns"), 6);
    QFile::remove(folder);
    EXPECT_TRUE(defaults.set("theme", "dark"));
    EXPECT_EQ(UserDefaults(path()).integer("columns"), 6);
}

TEST_F(UserDefaultsTest, ADamagedFileReadsEmptyAndIsKeptAsideBeforeTheFirstWrite) {
    // Cut short, not an object, not text, junk after a whole object (never half accepted), and
    // nesting deep enough to overflow a recursive parser's stack.
    const QByteArray deep = "{\"a\": " + QByteArray(200000, '[') + QByteArray(200000, ']') + "}";
    for (const QByteArray& damage :
         {QByteArray(R"({"columns": 4, "theme": "da)"), QByteArray("[1, 2]"),
          QByteArray("\xff\xfe garbage"), QByteArray(R"({"columns": 4} junk)"), deep}) {
        for (const QString& old : keptAside()) {
            QFile::remove(m_dir.path() + "/Framlet/" + old);
        }
        writeFile(damage);
        UserDefaults defaults(path());
        EXPECT_FALSE(defaults.contains("columns"));
        EXPECT_TRUE(defaults.set("columns", qint64{5}));

        const QStringList aside = keptAside();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(test::contents(m_dir.path() + "/Framlet/" + aside.first()), damage);
        EXPECT_EQ(UserDefaults(path()).object("columns").toLongLong(), 5);
    }
}

TEST_F(UserDefaultsTest, WritesMergeWithChangesFromAnotherWriter) {
    UserDefaults first(path());
    UserDefaults second(path());
    first.set("theme", "dark");
    second.set("columns", qint64{4});  // second never read "theme"
    first.remove("absent");
    const UserDefaults reread(path());
    EXPECT_EQ(reread.string("theme"), "dark");
    EXPECT_EQ(reread.integer("columns"), 4);
    EXPECT_TRUE(first.remove("theme"));  // that key only
    EXPECT_FALSE(UserDefaults(path()).contains("theme"));
    EXPECT_EQ(UserDefaults(path()).integer("columns"), 4);
}

// Another program rewriting the file in place leaves it half-written for a moment; what this
// process knew must not be reset to the one key it changes.
TEST_F(UserDefaultsTest, AFileDamagedUnderneathIsMergedWithWhatWasKnown) {
    writeFile(R"({"columns": 4, "watchedFolders": ["/home/me/Shots"], "theme": "dark"})");
    UserDefaults defaults(path());
    writeFile(R"({"columns": 4, "watchedFol)");
    EXPECT_TRUE(defaults.set("historyLimit", qint64{80}));
    const UserDefaults reread(path());
    EXPECT_EQ(reread.integer("columns"), 4);
    EXPECT_EQ(reread.string("theme"), "dark");
    EXPECT_EQ(reread.object("watchedFolders").toList().size(), 1);
    EXPECT_EQ(reread.integer("historyLimit"), 80);
    EXPECT_EQ(keptAside().size(), 1);

    // A file kept behind a link stays behind it.
    const QString kept = m_dir.path() + "/dotfiles/defaults.json";
    QDir().mkpath(QFileInfo(kept).absolutePath());
    QFile::rename(path(), kept);
    QFile::link(kept, path());
    EXPECT_TRUE(defaults.set("columns", qint64{2}));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(UserDefaults(kept).integer("columns"), 2);
}

TEST_F(UserDefaultsTest, ReloadSeesAnotherWritersChangesAndKeepsUnwrittenOnes) {
    UserDefaults running(path());
    running.set("columns", qint64{3});
    EXPECT_FALSE(running.reload());
    UserDefaults(path()).remove("columns");
    UserDefaults(path()).set("hasCompletedFeatureTour", false);
    EXPECT_TRUE(running.reload());
    EXPECT_FALSE(running.contains("columns"));
    EXPECT_TRUE(running.contains("hasCompletedFeatureTour"));
    writeFile("{\"columns\": ");  // damaged: what is known stays
    EXPECT_FALSE(running.reload());
    EXPECT_TRUE(running.contains("hasCompletedFeatureTour"));
}

// Child of the concurrency test: writes FRAMLET_TEST_KEYS keys with its own prefix.
TEST(UserDefaultsChild, WriteKeys) {
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_DEFAULTS")) {
        GTEST_SKIP() << "only runs as a child of the concurrency test";
    }
    UserDefaults defaults(qEnvironmentVariable("FRAMLET_TEST_DEFAULTS"));
    const QString prefix = qEnvironmentVariable("FRAMLET_TEST_PREFIX");
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(defaults.set(prefix + QString::number(i), qint64{i}));
    }
}

TEST_F(UserDefaultsTest, TwoProcessesWritingAtOnceLoseNoKey) {
    std::vector<std::future<test::ChildResult>> writers;
    for (const QString prefix : {"a", "b", "c"}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("FRAMLET_TEST_DEFAULTS", path());
        environment.insert("FRAMLET_TEST_PREFIX", prefix);
        writers.push_back(std::async(std::launch::async, [environment] {
            return test::runSelf("UserDefaultsChild.WriteKeys", environment);
        }));
    }
    for (auto& writer : writers) {
        const test::ChildResult result = writer.get();
        EXPECT_TRUE(result.exitCode == 0 && !result.crashed) << result.out.constData();
    }
    const UserDefaults reread(path());
    for (const char* prefix : {"a", "b", "c"}) {
        for (int i = 0; i < 100; ++i) {
            EXPECT_EQ(reread.integer(QLatin1String(prefix) + QString::number(i)), i) << prefix << i;
        }
    }
    // Every replacement was a whole file: nothing left behind that a crash would have torn.
    EXPECT_TRUE(keptAside().isEmpty());
}

}  // namespace
