#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <memory>
#include <vector>

#include "CaptureFiles.h"
#include "ChildProcess.h"
#include "ProgramHome.h"
#include "StallingMount.h"
#include "platform/ApplicationId.h"
#include "platform/InstanceService.h"
#include "platform/Relaunch.h"

using framlet::InstanceService;
using framlet::test::shelfVisible;

namespace {

// The process ids of the name's owner and of those queued behind it, owner first.
QList<qint64> holders() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListQueuedOwners"));
    call << framlet::applicationId();
    QList<qint64> pids;
    for (const QString& connection :
         QDBusConnection::sessionBus().call(call).arguments().value(0).toStringList()) {
        if (const QDBusReply<uint> pid =
                QDBusConnection::sessionBus().interface()->servicePid(connection);
            pid.value() > 0) {
            pids.append(pid.value());
        }
    }
    return pids;
}

// runChild with this thread's event loop turning, so that a service this process offers answers.
framlet::test::ChildResult runServed(const QString& program, const QStringList& arguments,
                                     const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool ended =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    return {ended ? process.exitCode() : -1, !ended || process.exitStatus() != QProcess::NormalExit,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// This process's environment replaced by another one, for a program that inherits it.
void useEnvironment(const QProcessEnvironment& environment) {
    for (const QString& name : QProcessEnvironment::systemEnvironment().keys()) {
        if (!environment.contains(name)) {
            qunsetenv(name.toLocal8Bit().constData());
        }
    }
    for (const QString& name : environment.keys()) {
        qputenv(name.toLocal8Bit().constData(), environment.value(name).toLocal8Bit());
    }
}

// Two launches of the real program on the private desktop and session bus of scripts/x-session:
// the first serves, every later one hands its command over.
class Instance : public framlet::test::ProgramRun {
protected:
    void TearDown() override {
        ProgramRun::TearDown();
        // A relaunch's program is detached from this test, which started it all the same.
        for (const qint64 pid : holders()) {
            if (pid > 0 && pid != QCoreApplication::applicationPid()) {
                ::kill(static_cast<pid_t>(pid), SIGTERM);
            }
        }
    }

    // Searches from a later launch until the answer is the one waited for or the time is up; the
    // last answer.
    framlet::test::ChildResult searchUntil(const QString& text, int timeoutMs,
                                           bool (*done)(const framlet::test::ChildResult&)) const {
        framlet::test::ChildResult answer;
        (void)QTest::qWaitFor(
            [&] {
                return done(answer = framlet({QStringLiteral("--search"), text}));
            },
            timeoutMs);
        return answer;
    }
    static bool found(const framlet::test::ChildResult& answer) { return answer.exitCode == 0; }
    void start(const QStringList& arguments = {}) {
        ASSERT_NO_FATAL_FAILURE(launch(arguments));
        ASSERT_TRUE(logged("instance: serving")) << log().constData();
    }
};

TEST_F(Instance, ToggleStartsAnInstanceAndALaterLaunchOrShowOpensButNeverClosesTheShelf) {
    start({QStringLiteral("--toggle")});
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 15000));
    EXPECT_EQ(framlet({QStringLiteral("--toggle")}).exitCode, 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return !shelfVisible(); }, 5000));
    const auto second = framlet({});
    EXPECT_EQ(second.exitCode, 0) << second.err.constData();
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));
    // Showing a shelf that is open keeps it open, whether asked by --show or a plain launch.
    for (const QStringList& arguments : {QStringList{QStringLiteral("--show")}, QStringList{}}) {
        EXPECT_EQ(framlet(arguments).exitCode, 0);
        QTest::qWait(500);  // long enough for a hide to reach the X server
        EXPECT_TRUE(shelfVisible()) << arguments.join(u' ').toStdString();
    }
    EXPECT_EQ(app.state(), QProcess::Running);
    // One watcher only: the later launches never got as far as starting one.
    EXPECT_EQ(log().count("instance: serving"), 1);
}

// File names a script must get back whole (a line feed, a tab, a backslash and an escape
// sequence) from the real program's shelf; while a file still cannot be read it says so.
TEST_F(Instance, SearchPrintsRecognisedScreenshotsWholeAndSaysWhileRecognitionRuns) {
    EXPECT_EQ(framlet({QStringLiteral("--search"), QStringLiteral("lantern")}).exitCode, 2);
    const auto bare = framlet({QStringLiteral("--search")});
    EXPECT_EQ(bare.exitCode, 64);
    EXPECT_TRUE(bare.err.contains("--search needs the text to look for"));

    const QString shot = QDir(desktop()).filePath(QStringLiteral("Screenshot 1.png"));
    ASSERT_TRUE(framlet::test::writeTextCapture(shot, QStringLiteral("Quarterly lantern")));
    const QByteArray folder = QFile::encodeName(desktop()) + '/';
    const QByteArray odd = "two\nlines \t\x1b[31m back\\slash.png";
    ASSERT_TRUE(framlet::test::writeCapture(
        QDir(desktop()).filePath(QStringLiteral("two\nlines \t\x1b[31m back\\slash.png"))));
    // Never readable while it keeps growing, as a capture still being written.
    QFile growing(QDir(desktop()).filePath(QStringLiteral("growing.png")));
    ASSERT_TRUE(growing.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    growing.write("\x89PNG\r\n\x1a\n");
    QTimer grow;
    QObject::connect(&grow, &QTimer::timeout, [&] { growing.write("x"); });
    grow.start(300);
    start();

    const auto lantern = searchUntil(QStringLiteral("LANTERN"), 30000, found);
    EXPECT_EQ(lantern.exitCode, 0) << lantern.err.constData();
    EXPECT_EQ(lantern.out, QFile::encodeName(shot) + '\n');
    // The file name counts too.
    EXPECT_EQ(framlet({QStringLiteral("--search"), QStringLiteral("shot 1")}).out,
              QFile::encodeName(shot) + '\n');
    EXPECT_EQ(framlet({QStringLiteral("--search"), QStringLiteral("lines")}).out,
              folder + "two\\nlines \\t\\x1b[31m back\\\\slash.png\n");
    EXPECT_EQ(
        framlet({QStringLiteral("-0"), QStringLiteral("--search"), QStringLiteral("lines")}).out,
        folder + odd + '\0');
    // A word that is nowhere finds nothing, maybe not yet.
    const auto pending = framlet({QStringLiteral("--search"), QStringLiteral("zeppelin")});
    EXPECT_EQ(pending.exitCode, 1);
    EXPECT_EQ(pending.err,
              "Framlet: text recognition is still running; a later search may find more\n");

    grow.stop();  // given up once it stops changing: nothing is pending any more
    const auto settled = searchUntil(QStringLiteral("zeppelin"), 40000,
                                     [](const auto& answer) { return answer.err.isEmpty(); });
    EXPECT_TRUE(settled.err.isEmpty());
    EXPECT_EQ(settled.exitCode, 1);
}

// An instance may hand over any bytes (names need not be UTF-8): -0 prints them as they are, the
// line form escapes them so that bash's printf %b gives them back, and the older Search method
// still answers.
TEST_F(Instance, SearchPrintsAnyBytesTheInstanceAnswersWithAndTheOldMethodStillAnswers) {
    const QByteArrayList paths{"/s/caf\xe9.png", "/s/a\x1b[31m\\b\tc\rd.png", "/s/\xc2\x9b.png",
                               "/s/\xed\xa0\x80 \xc0\xaf \xf4\x90\x80\x80 \xe2\x82.png",
                               QByteArray("/s/nul\0inside", 13)};
    InstanceService service(QDBusConnection::sessionBus(), [&](const QString& text) {
        return InstanceService::Found{text == u"x" ? paths : QByteArrayList(), true};
    });
    ASSERT_EQ(service.claim(), InstanceService::Claim::owned);
    const auto served = [&](const QStringList& arguments,
                            const QString& program = QStringLiteral(FRAMLET_EXECUTABLE)) {
        return runServed(program, arguments, environment());
    };

    const auto raw =
        served({QStringLiteral("--search"), QStringLiteral("x"), QStringLiteral("-0")});
    EXPECT_EQ(raw.exitCode, 0);
    EXPECT_EQ(raw.out, paths.mid(0, 4).join('\0') + '\0');  // no file name holds a NUL
    EXPECT_TRUE(raw.err.contains("text recognition is still running"));
    const auto lines = served({QStringLiteral("--search"), QStringLiteral("x")});
    EXPECT_EQ(lines.out,
              "/s/caf\\xe9.png\n/s/a\\x1b[31m\\\\b\\tc\\x0dd.png\n/s/\\xc2\\x9b.png\n"
              "/s/\\xed\\xa0\\x80 \\xc0\\xaf \\xf4\\x90\\x80\\x80 \\xe2\\x82.png\n"
              "/s/nul\\x00inside\n");
    const auto undone = served(
        {QStringLiteral("-c"),
         QStringLiteral(
             "\"$0\" --search x | while IFS= read -r line; do printf '%b\\0' \"$line\"; done"),
         QStringLiteral(FRAMLET_EXECUTABLE)},
        QStringLiteral("bash"));
    EXPECT_EQ(undone.out, paths.join('\0') + '\0');
    EXPECT_EQ(served({QStringLiteral("--search"), QStringLiteral("-0")}).exitCode, 1);

    const auto old =
        served({QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                framlet::applicationId(), QStringLiteral("--object-path"),
                InstanceService::objectPath(), QStringLiteral("--method"),
                framlet::applicationId() + QStringLiteral(".Search"), QStringLiteral("x")},
               QStringLiteral("gdbus"));
    EXPECT_TRUE(old.out.startsWith("(['/s/caf"));
}

// The updater relaunches the new program while the old one still holds the name. This process
// plays an old instance that takes its time to quit; then real instances replace one another,
// each old one ending at once, as often as an unlucky user would relaunch.
TEST_F(Instance, ARelaunchedFramletTakesTheNameOverOnceTheOneItReplacesLetsGo) {
    const qint64 self = QCoreApplication::applicationPid();
    InstanceService old(QDBusConnection::sessionBus(), InstanceService::Searcher());
    ASSERT_EQ(old.claim(), InstanceService::Claim::owned);
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    useEnvironment(environment());  // what the relaunched program inherits
    const bool started = framlet::Relaunch::start(QStringLiteral(FRAMLET_EXECUTABLE));
    useEnvironment(own);
    ASSERT_TRUE(started);
    ASSERT_TRUE(QTest::qWaitFor([] { return holders().size() == 2; }, 15000)) << log().constData();
    old.release();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return holders().size() == 1 && holders().constFirst() != self; }, 15000));
    qint64 owner = holders().constFirst();

    std::vector<std::unique_ptr<QProcess>> launched;
    for (int round = 0; round < 4; ++round) {
        auto next = std::make_unique<QProcess>();
        next->setProcessEnvironment(environment());
        next->start(QStringLiteral(FRAMLET_EXECUTABLE),
                    {QStringLiteral("--replacing"), QString::number(owner)});
        ASSERT_TRUE(next->waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([] { return holders().size() == 2; }, 15000))
            << "round " << round << ": " << next->readAllStandardError().constData();
        ::kill(static_cast<pid_t>(owner), SIGTERM);
        ASSERT_TRUE(QTest::qWaitFor([&] { return holders() == QList{next->processId()}; }, 15000))
            << "round " << round;
        EXPECT_EQ(next->state(), QProcess::Running);
        owner = next->processId();
        launched.push_back(std::move(next));
    }
    // Each said so once it owned the name.
    EXPECT_TRUE(QTest::qWaitFor([&] { return log().count("instance: serving") == 5; }, 5000));
    EXPECT_EQ(framlet({}).exitCode, 0);  // a plain launch still finds the last one
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));
    launched.back()->terminate();
    launched.back()->waitForFinished(5000);
}

// A watched folder on a mount that never answers, as a stale network share: the program still
// serves later launches, shows its shelf, names the folder in its log and quits.
TEST_F(Instance, AWatchedFolderThatNeverAnswersHoldsUpNeitherTheShelfNorLaterLaunches) {
    QTemporaryDir mountDir;
    const QString shots = mountDir.filePath(QStringLiteral("share/shots"));
    framlet::test::StallingMount mount(mountDir.filePath(QStringLiteral("share")),
                                       framlet::test::StallingMount::Stalled::atOnce);
    FRAMLET_REQUIRE_MOUNT(mount);
    ASSERT_TRUE(framlet::test::writeDefaults(
        home.path(),
        QStringLiteral(R"({"hasCompletedOnboarding": true, "watchedFolders": ["%1", "%2"]})")
            .arg(shots, desktop())
            .toUtf8()));
    start();
    const auto second = framlet({});
    EXPECT_EQ(second.exitCode, 0) << second.err.constData();
    EXPECT_TRUE(QTest::qWaitFor(shelfVisible, 5000));

    const QByteArray line =
        "watcher: " + QFile::encodeName(shots) + " does not answer; watching it is paused";
    EXPECT_TRUE(logged(line, 30000)) << log().constData();
    EXPECT_TRUE(mount.stillStalling()) << "something waited on the mount until it gave up";
    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
}

}  // namespace
