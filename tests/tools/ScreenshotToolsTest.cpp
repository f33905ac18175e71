#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "FileBytes.h"
#include "ProgramHome.h"

namespace {

// The real program beside the real screenshot tools of the distribution, on the private desktop
// of scripts/x-session, on a fresh account: nothing tells Framlet where the tool saves.
class ScreenshotTools : public ::testing::Test {
protected:
    void SetUp() override {
        // What xdg-user-dirs leaves on a new account.
        QDir().mkpath(pictures());
        ASSERT_TRUE(framlet::test::put(
            home.filePath(".config/user-dirs.dirs"),
            "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n"));

        environment = framlet::test::programEnvironment(home.path());
    }
    void TearDown() override {
        for (QProcess* process : {&tool, &app}) {
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    QString pictures() const { return home.filePath("Pictures"); }
    QByteArray log() const { return framlet::test::programLog(home.path()); }
    bool logged(const QByteArray& line, int timeoutMs = 15000) const {
        return QTest::qWaitFor([&] { return log().contains(line); }, timeoutMs);
    }
    void launch() {
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral(FRAMLET_EXECUTABLE), {});
        ASSERT_TRUE(app.waitForStarted());
        ASSERT_TRUE(logged("watcher: FSEvents watching Pictures")) << log().constData();
    }
    void run(const QString& program, const QStringList& arguments) {
        tool.setProcessEnvironment(environment);
        tool.setWorkingDirectory("/");
        tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tool.start(program, arguments);
        ASSERT_TRUE(tool.waitForStarted()) << program.toStdString();
    }
    // What a user does in the tool's dialog: accept what it proposes.
    static void acceptDialog(const QString& title) {
        QProcess search;
        search.start("xdotool", {"search", "--sync", "--onlyvisible", "--name", title});
        ASSERT_TRUE(search.waitForFinished(20000)) << "no window " << title.toStdString();
        const QString window = QString::fromUtf8(search.readAllStandardOutput()).split(u'\n')[0];
        ASSERT_FALSE(window.isEmpty()) << "no window " << title.toStdString();
        QTest::qWait(500);  // the toolkit sets the dialog's focus once it is mapped
        QProcess::execute("xdotool", {"windowactivate", "--sync", window});
        QProcess::execute("xdotool", {"key", "--clearmodifiers", "Return"});
    }
    void expectCaptureSeenLive(const QString& savedAs) {
        EXPECT_TRUE(QFileInfo(savedAs).isFile())
            << QDir(pictures()).entryList().join(u' ').toStdString();
        EXPECT_TRUE(logged("watcher: detected 1 new file(s)")) << log().constData();
        EXPECT_TRUE(logged("capture fill animation started")) << log().constData();
    }
    QString onlyFileIn(const QString& folder) const {
        const QStringList files = QDir(folder).entryList(QDir::Files);
        return files.size() == 1 ? QDir(folder).filePath(files[0]) : QString();
    }

    QTemporaryDir home;
    QProcessEnvironment environment;
    QProcess app;
    QProcess tool;
};

TEST_F(ScreenshotTools, AFullScreenCaptureOfXfceScreenshooterAtItsDefaultsIsSeenLive) {
    environment.insert("XDG_CURRENT_DESKTOP", "XFCE");
    launch();
    EXPECT_TRUE(log().contains("watcher: screenshot tool xfce4-screenshooter, no settings file → " +
                               QFile::encodeName(pictures())));

    // Without -s it asks what to do (save is its default), then where, proposing its folder.
    run("xfce4-screenshooter", {"-f"});
    acceptDialog("^Screenshot$");
    acceptDialog("^Save screenshot as");
    ASSERT_TRUE(tool.waitForFinished(20000));
    expectCaptureSeenLive(onlyFileIn(pictures()));
    // As it quits it records that folder, which changes nothing.
    EXPECT_TRUE(logged("watcher: screenshot tool xfce4-screenshooter, screenshot_dir=\"file:" +
                       QFile::encodeName(pictures()) + "\" → "))
        << log().constData();
    EXPECT_EQ(log().count("watcher: seeded"), 1);
}

TEST_F(ScreenshotTools, AFullScreenCaptureOfFlameshotWithAnEmptySettingsFileIsSeenLive) {
    const QString settings = home.filePath(".config/flameshot/flameshot.ini");
    ASSERT_TRUE(framlet::test::put(settings, {}));
    launch();
    EXPECT_TRUE(log().contains("watcher: screenshot tool flameshot, savePath not set → " +
                               QFile::encodeName(pictures())));

    run("flameshot", {"full"});
    acceptDialog("^Save screenshot$");
    ASSERT_TRUE(tool.waitForFinished(20000));
    expectCaptureSeenLive(onlyFileIn(pictures()));
    EXPECT_EQ(QFileInfo(settings).size(), 0);  // it saved without recording a folder
}

}  // namespace
