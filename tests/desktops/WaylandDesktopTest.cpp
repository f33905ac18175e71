#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "DesktopSession.h"
#include "ProgramHome.h"
#include "platform/GnomeCustomShortcuts.h"
#include "platform/GnomeShortcutGrabber.h"

using namespace framlet;

namespace {

// The whole program in a real Wayland desktop started for a home of its own.
class WaylandDesktopTest : public ::testing::Test {
protected:
    void startDesktop(const QString& desktop) {
        QString whyNot;
        session = test::DesktopSession::start(desktop, home.path(), &whyNot);
        ASSERT_TRUE(session) << whyNot.toStdString();
        environment = session->environment();
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")),
            QStringLiteral("desktop")));
        ASSERT_TRUE(bus->isConnected());
    }
    void launch() {
        QDir().mkpath(home.filePath(QStringLiteral(".config/Framlet")));
        QFile defaults(home.filePath(QStringLiteral(".config/Framlet/defaults.json")));
        ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
        defaults.write(R"({"hasCompletedOnboarding": true, "hasCompletedFeatureTour": true})");
        defaults.close();
        QProcessEnvironment programEnvironment = environment;
        programEnvironment.insert(QStringLiteral("FRAMLET_DEBUG_LOG"), QString());
        framlet.setProcessEnvironment(programEnvironment);
        framlet.setProcessChannelMode(QProcess::ForwardedChannels);
        framlet.start(QStringLiteral(FRAMLET_EXECUTABLE), {});
        ASSERT_TRUE(framlet.waitForStarted());
    }
    bool logged(const char* line, int timeoutMs = 30000) {
        return QTest::qWaitFor([&] { return test::programLog(home.path()).contains(line); },
                               timeoutMs);
    }
    QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus->call(message, QDBus::Block, 20000);
    }
    // A helper program of the desktop's, run in its session.
    int run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
        return process.waitForFinished(60000) ? process.exitCode() : -1;
    }
    // Whether KWin's window list (its runner of open windows) holds the shelf.
    bool kwinListsTheShelf() {
        const QDBusMessage found =
            call(QStringLiteral("org.kde.KWin"), QStringLiteral("/WindowsRunner"),
                 QStringLiteral("org.kde.krunner1"), QStringLiteral("Match"),
                 {QStringLiteral("Framlet Shelf")});
        if (found.type() != QDBusMessage::ReplyMessage || found.arguments().isEmpty()) {
            return false;
        }
        // The runner answers the windows matching the query, none when it is not open.
        const QDBusArgument matches = found.arguments().constFirst().value<QDBusArgument>();
        matches.beginArray();
        return !matches.atEnd();
    }
    int framletSearch(const QString& text) {
        return run(QStringLiteral(FRAMLET_EXECUTABLE), {QStringLiteral("--search"), text});
    }
    ~WaylandDesktopTest() override {
        framlet.terminate();
        framlet.waitForFinished(10000);
        bus.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    }

    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/framlet-desktop-XXXXXX")};
    std::optional<test::DesktopSession> session;
    QProcessEnvironment environment;
    std::unique_ptr<QDBusConnection> bus;
    QProcess framlet;
};

// KDE 5.27's portal binds no keys where the user cleared them before and leaves the choice to
// System Settings, which sets them through kglobalaccel: the portal then tells ShortcutsChanged.
TEST_F(WaylandDesktopTest, PlasmaPortalShortcutWaitsForTheKeysTheDesktopBinds) {
    startDesktop(QStringLiteral("plasma-wayland"));
    const QString accel = QStringLiteral("org.kde.kglobalaccel");
    const QString daemon = QStringLiteral("org.kde.KGlobalAccel");
    constexpr int metaShift = 0x10000000 | 0x02000000;
    // The portal session's component and action, as KDE names them (no application id: the
    // session's token), left without keys in an earlier session (cleared in System Settings).
    const QStringList action{QStringLiteral("framlet1"), QStringLiteral("toggle-shelf"),
                             QStringLiteral("framlet1"),
                             QStringLiteral("Show or hide the Framlet shelf")};
    call(accel, QStringLiteral("/kglobalaccel"), daemon, QStringLiteral("doRegister"), {action});
    call(accel, QStringLiteral("/kglobalaccel"), daemon, QStringLiteral("setShortcut"),
         {action, QVariant::fromValue(QList<int>{}), uint(2 | 4)});

    launch();
    ASSERT_TRUE(logged("portal session open, the desktop lets the user pick the keys"));
    EXPECT_FALSE(test::programLog(home.path()).contains("hotkey: FAILED"));

    // As System Settings does: Meta+Shift+3 for the portal session's component.
    const QDBusMessage set =
        call(accel, QStringLiteral("/kglobalaccel"), daemon, QStringLiteral("setForeignShortcut"),
             {action, QVariant::fromValue(QList<int>{metaShift | '3'})});
    ASSERT_NE(set.type(), QDBusMessage::ErrorMessage) << set.errorMessage().toStdString();
    EXPECT_TRUE(logged("portal bound the shortcut to Meta+Shift+3"));

    // The shelf shows at launch (no panel); each press through kglobalaccel toggles it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return kwinListsTheShelf(); }, 20000));
    const auto press = [&] {
        call(accel, QStringLiteral("/component/framlet1"),
             QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("invokeShortcut"),
             {QStringLiteral("toggle-shelf")});
    };
    press();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !kwinListsTheShelf(); }, 20000));
    press();
    EXPECT_TRUE(QTest::qWaitFor([&] { return kwinListsTheShelf(); }, 20000));
    // The shelf opened has the keyboard (its search field is its first stop): a KWin script
    // prints the active window's caption into KWin's log.
    QFile script(home.filePath(QStringLiteral("active.js")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        "print('active: ' + (workspace.activeClient ? workspace.activeClient.caption : ''));");
    script.close();
    call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
         QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("loadScript"),
         {script.fileName(), QStringLiteral("active")});
    call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
         QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("start"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QFile log(home.filePath(QStringLiteral("kwin.log")));
            return log.open(QIODevice::ReadOnly) && log.readAll().contains("active: Framlet Shelf");
        },
        10000));
}

// GNOME 43 has no GlobalShortcuts portal: with the user's consent Framlet adds a custom
// shortcut that runs its --toggle, which the settings daemon runs at the keys' press. GNOME
// Screenshot saves into Pictures beside other pictures: its captures, and only they, are caught.
TEST_F(WaylandDesktopTest, GnomeRunsTheCustomShortcutAndGnomeScreenshotsCapturesAreCaught) {
    startDesktop(QStringLiteral("gnome-wayland"));
    QProcess mediaKeys;
    mediaKeys.setProcessEnvironment(environment);
    mediaKeys.setStandardOutputFile(home.filePath(QStringLiteral("gsd-media-keys.log")));
    mediaKeys.setProcessChannelMode(QProcess::MergedChannels);
    mediaKeys.setProgram(QStringLiteral("/usr/libexec/gsd-media-keys"));
    qint64 pid = 0;
    ASSERT_TRUE(mediaKeys.startDetached(&pid));
    QFile pids(home.filePath(QStringLiteral("pids")));
    ASSERT_TRUE(pids.open(QIODevice::Append));
    pids.write(QByteArray::number(pid) + '\n');
    pids.close();
    QDir().mkpath(home.filePath(QStringLiteral("Pictures")));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(home.filePath(QStringLiteral("Pictures/holiday.png"))));

    // Its windows through XWayland, where the X server tells which one has the keyboard.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    launch();
    // No grab is claimed that would hear X11 windows only: the user is offered the command.
    ASSERT_TRUE(logged("This desktop doesn't let apps register shortcuts"));
    EXPECT_FALSE(test::programLog(home.path()).contains("hotkey: registered"));

    // The consent, as the settings window's button gives it, in the session's own settings.
    GnomeShortcutGrabber grabber(
        GnomeCustomShortcuts(GnomeShortcutGrabber::entryPath, environment),
        GnomeShortcutGrabber::toggleCommand(QStringLiteral(FRAMLET_EXECUTABLE)));
    EXPECT_EQ(grabber.grab(19, 256 | 512, {}).status, KeyGrabber::commandNotBound);
    ASSERT_TRUE(grabber.add());

    QProcess monitor;
    monitor.setProcessEnvironment(environment);
    monitor.start(QStringLiteral("dbus-monitor"),
                  {QStringLiteral("interface='io.github.framlet.Framlet',member='Toggle'")});
    ASSERT_TRUE(monitor.waitForStarted());
    QTest::qWait(1000);
    const QString input = QStringLiteral(FRAMLET_SOURCE_DIR "/tests/desktops/mutter-input.py");
    ASSERT_EQ(run(QStringLiteral("/usr/bin/python3"),
                  {input, QStringLiteral("key:1"), QStringLiteral("key:125,42,3")}),
              0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return monitor.readAllStandardOutput().contains("member=Toggle"); }, 20000));
    monitor.kill();
    monitor.waitForFinished();
    // The shelf opened has the keyboard (its search field is its first stop).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QProcess focus;
            focus.setProcessEnvironment(environment);
            focus.start(QStringLiteral("xdotool"),
                        {QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")});
            return focus.waitForFinished(10000) &&
                   focus.readAllStandardOutput().trimmed() == "Framlet Shelf";
        },
        20000));

    ASSERT_EQ(run(QStringLiteral("gnome-screenshot"), {}), 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return framletSearch(QStringLiteral("Screenshot from")) == 0; }, 30000));
    EXPECT_EQ(framletSearch(QStringLiteral("holiday")), 1);
}

}  // namespace
