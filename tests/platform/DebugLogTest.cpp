#include <gtest/gtest.h>

#include <QDir>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <future>

#include "ChildProcess.h"
#include "FileBytes.h"
#include "TemporaryHome.h"
#include "platform/DebugLog.h"

using namespace framlet;

namespace {

// The log's settings are read once per process, so each case logs from a fresh child process.
// The child logs the lines of FRAMLET_TEST_LOG_LINES (separated by U+001E).
TEST(DebugLogChild, LogLines) {
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_LOG_LINES")) {
        GTEST_SKIP() << "only runs as a child of the other log tests";
    }
    for (const QString& line : qEnvironmentVariable("FRAMLET_TEST_LOG_LINES").split(QChar(0x1e))) {
        DebugLog::log(line);
    }
}

test::ChildResult logInChild(const QString& home, const QStringList& lines, bool fileLogging) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("FRAMLET_TEST_LOG_LINES", lines.join(QChar(0x1e)));
    environment.remove("FRAMLET_DEBUG_LOG");
    if (fileLogging) {
        environment.insert("FRAMLET_DEBUG_LOG", QString());  // empty still counts
    }
    return test::runSelf("DebugLogChild.LogLines", environment);
}

QByteArray readLog(const QString& home) {
    return test::contents(home + "/.local/state/Framlet/debug.log");
}

const QRegularExpression kLine(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000 (.*)$)"));

TEST(DebugLog, TimestampIsUtcInTheFixedForm) {
    EXPECT_EQ(DebugLog::timestamp(1741356309), "2025-03-07 14:05:09 +0000");
    EXPECT_EQ(DebugLog::timestamp(0), "1970-01-01 00:00:00 +0000");
}

TEST(DebugLog, WithoutTheVariableOrAWritableFileOnlyTheSystemLogIsWritten) {
    test::TemporaryHome home;
    auto result = logInChild(home.path(), {"watcher: started"}, false);
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_TRUE(result.err.contains("Framlet: watcher: started\n"));
    EXPECT_FALSE(QDir(home.path() + "/.local/state/Framlet").exists());

    // A log that cannot be written disturbs nothing: "Framlet" is a file, not a folder.
    ASSERT_TRUE(test::put(home.path() + "/.local/state/Framlet", "not a folder"));
    result = logInChild(home.path(), {"still fine"}, true);
    EXPECT_TRUE(result.exitCode == 0 && !result.crashed);
    EXPECT_TRUE(result.err.contains("Framlet: still fine"));
}

TEST(DebugLog, FileLinesAreTimestampedAppendedAndUtf8) {
    test::TemporaryHome home;
    const QString arrow = "updater: --update-check → background check — ok";
    auto result = logInChild(home.path(), {"first", arrow, QString()}, true);
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    result = logInChild(home.path(), {"next run\nsecond line"}, true);
    ASSERT_EQ(result.exitCode, 0);

    const QList<QByteArray> lines = readLog(home.path()).split('\n');
    ASSERT_EQ(lines.size(), 6);  // four calls, one message spanning two lines, final newline
    const QStringList expected = {"first", arrow, QString(), "next run"};
    for (int i = 0; i < expected.size(); ++i) {
        const auto match = kLine.match(QString::fromUtf8(lines[i]));
        ASSERT_TRUE(match.hasMatch()) << lines[i].constData();
        EXPECT_EQ(match.captured(1), expected[i]);
    }
    EXPECT_EQ(lines[4], "second line");
    EXPECT_TRUE(lines[5].isEmpty());
    EXPECT_FALSE(QDir(home.path() + "/Library").exists());
}

TEST(DebugLog, TheFileFollowsTheStateFolderAndIgnoresARelativeOne) {
    test::TemporaryHome home;
    EXPECT_EQ(DebugLog::filePath(), home.path() + "/.local/state/Framlet/debug.log");
    qputenv("XDG_STATE_HOME", "/srv/state");
    EXPECT_EQ(DebugLog::filePath(), "/srv/state/Framlet/debug.log");
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(DebugLog::filePath(), home.path() + "/.local/state/Framlet/debug.log");
    qunsetenv("XDG_STATE_HOME");
}

TEST(DebugLog, ConcurrentCallersKeepLinesWhole) {
    test::TemporaryHome home;
    QStringList lines;
    for (int i = 0; i < 200; ++i) {
        lines << QStringLiteral("line %1 ").arg(i) + QString(200, QLatin1Char('x'));
    }
    // Two processes at once stand in for two threads: both share only the file.
    auto a = std::async(std::launch::async, [&] { return logInChild(home.path(), lines, true); });
    const test::ChildResult b = logInChild(home.path(), lines, true);
    ASSERT_EQ(a.get().exitCode, 0);
    ASSERT_EQ(b.exitCode, 0);
    const QList<QByteArray> written = readLog(home.path()).split('\n');
    ASSERT_EQ(written.size(), 401);
    for (int i = 0; i < 400; ++i) {
        ASSERT_TRUE(kLine.match(QString::fromUtf8(written[i])).hasMatch()) << i;
        ASSERT_TRUE(written[i].endsWith(QByteArray(200, 'x'))) << i;
    }
}

}  // namespace
