#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "ChildProcess.h"
#include "ProgramHome.h"
#include "StallingMount.h"

using framlet::test::shelfVisible;

namespace {

// Two launches of the real program on the private desktop and session bus of scripts/x-session:
// the first serves, every later one hands its command over.
class Instance : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(desktop());
        app.setProcessEnvironment(environment());
    }
    void TearDown() override {
        app.terminate();
        if (!app.waitForFinished(5000)) {
            app.kill();
            app.waitForFinished();
        }
    }

    QProcessEnvironment environment() const {
        return framlet::test::programEnvironment(home.path());
    }
    QString desktop() const { return home.filePath(QStringLiteral("Desktop")); }
    framlet::test::ChildResult framlet(const QStringList& arguments) const {
        return framlet::test::runChild(QStringLiteral(FRAMLET_EXECUTABLE), arguments,
                                       environment());
    }
    void start() {
        app.start(QStringLiteral(FRAMLET_EXECUTABLE), {});
        ASSERT_TRUE(app.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return framlet::test::programLog(home.path()).contains("instance: serving"); },
            15000))
            << framlet::test::programLog(home.path()).constData();
    }

    QTemporaryDir home;
    QProcess app;
};

TEST_F(Instance, ASecondLaunchShowsTheFirstOnesShelfAndToggleShowsAndHidesIt) {
    start();
    const auto second = framlet({});
    EXPECT_EQ(second.exitCode, 0) << second.err.constData();
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));
    EXPECT_EQ(framlet({QStringLiteral("--toggle")}).exitCode, 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return !shelfVisible(); }, 5000));
    EXPECT_EQ(framlet({QStringLiteral("--toggle")}).exitCode, 0);
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));
    EXPECT_EQ(app.state(), QProcess::Running);
    // One watcher only: the later launches never got as far as starting one.
    EXPECT_EQ(framlet::test::programLog(home.path()).count("instance: serving"), 1);
}

TEST_F(Instance, ToggleStartsAnInstanceWhenNoneRuns) {
    QProcess first;
    first.setProcessEnvironment(environment());
    first.start(QStringLiteral(FRAMLET_EXECUTABLE), {QStringLiteral("--toggle")});
    ASSERT_TRUE(first.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 15000));
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    first.waitForFinished(5000);
}

TEST_F(Instance, SearchPrintsThePathsOfRecognisedScreenshotsWithItsExitCodes) {
    EXPECT_EQ(framlet({QStringLiteral("--search"), QStringLiteral("lantern")}).exitCode, 2);
    const auto bare = framlet({QStringLiteral("--search")});
    EXPECT_EQ(bare.exitCode, 64);
    EXPECT_TRUE(bare.err.contains("--search needs the text to look for"));

    QImage image(900, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(64);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Quarterly lantern"));
    }
    const QString shot = QDir(desktop()).filePath(QStringLiteral("Screenshot 1.png"));
    ASSERT_TRUE(image.save(shot));
    start();

    framlet::test::ChildResult found;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            found = framlet({QStringLiteral("--search"), QStringLiteral("LANTERN")});
            return found.exitCode == 0;
        },
        30000))
        << "exit " << found.exitCode << ": " << found.err.constData();
    EXPECT_EQ(found.out, QFile::encodeName(shot) + '\n');
    // The file name counts too; a word that is nowhere finds nothing.
    EXPECT_EQ(framlet({QStringLiteral("--search"), QStringLiteral("shot 1")}).out,
              QFile::encodeName(shot) + '\n');
    EXPECT_EQ(framlet({QStringLiteral("--search"), QStringLiteral("zeppelin")}).exitCode, 1);
}

// A watched folder on a mount that never answers, as a stale network share: the program still
// serves later launches, shows its shelf, names the folder in its log and quits.
TEST_F(Instance, AWatchedFolderThatNeverAnswersHoldsUpNeitherTheShelfNorLaterLaunches) {
    QTemporaryDir mountDir;
    const QString shots = mountDir.filePath(QStringLiteral("share/shots"));
    framlet::test::StallingMount mount(mountDir.filePath(QStringLiteral("share")),
                                       framlet::test::StallingMount::Stalled::atOnce);
    FRAMLET_REQUIRE_MOUNT(mount);
    QDir().mkpath(home.filePath(QStringLiteral(".config/Framlet")));
    QFile defaults(home.filePath(QStringLiteral(".config/Framlet/defaults.json")));
    ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
    defaults.write(
        QStringLiteral(R"({"hasCompletedOnboarding": true, "watchedFolders": ["%1", "%2"]})")
            .arg(shots, desktop())
            .toUtf8());
    defaults.close();
    start();
    const auto second = framlet({});
    EXPECT_EQ(second.exitCode, 0) << second.err.constData();
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));

    const QByteArray line =
        "watcher: " + QFile::encodeName(shots) + " does not answer; watching it is paused";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return framlet::test::programLog(home.path()).contains(line); }, 30000))
        << framlet::test::programLog(home.path()).constData();
    EXPECT_TRUE(mount.stillStalling()) << "something waited on the mount until it gave up";
    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
}

}  // namespace
