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

}  // namespace
