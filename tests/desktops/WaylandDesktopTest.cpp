#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <memory>

#include "DesktopSession.h"
#include "FileBytes.h"
#include "ProgramHome.h"
#include "ScreenPixels.h"
#include "platform/GnomeCustomShortcuts.h"
#include "platform/GnomeShortcutGrabber.h"

using namespace framlet;

namespace {

// A native Wayland window, maximised: somewhere to click away from the shelf and to drop on.
class DropTarget : public QWidget {
public:
    DropTarget() {
        setWindowTitle(QStringLiteral("Drop target"));
        setAcceptDrops(true);
    }

protected:
    // Accepting each move too, as file managers do: KWin drops only on a window that does.
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        for (const QUrl& url : event->mimeData()->urls()) {
            std::printf("dropped: %s\n", url.toLocalFile().toLocal8Bit().constData());
        }
        std::fflush(stdout);
        event->acceptProposedAction();
    }
};

// The input scripts' command that moves the pointer to `point`.
QString pointerTo(QPoint point) {
    return QStringLiteral("to:%1,%2").arg(point.x()).arg(point.y());
}

// Runs in the desktop's session as a child of the test, on its Wayland display.
TEST(WaylandDropTargetChild, Serve) {
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_DROP_TARGET")) {
        GTEST_SKIP() << "only runs as a child of WaylandDesktopTest";
    }
    DropTarget target;
    target.showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&target, 20000));
    std::printf("shown\n");
    std::fflush(stdout);
    QTest::qWait(300000);  // until the parent ends it
}

// The whole program in a real Wayland desktop started for a home of its own.
class WaylandDesktopTest : public ::testing::Test {
protected:
    void startDesktop(const QString& desktop, const QStringList& options = {}) {
        QString whyNot;
        session = test::DesktopSession::start(desktop, home.path(), whyNot, options);
        inputScript = QStringLiteral(FRAMLET_SOURCE_DIR "/tests/desktops/%1-input.py")
                          .arg(desktop.startsWith(u"gnome") ? u"mutter" : u"kwin");
        ASSERT_TRUE(session) << whyNot.toStdString();
        environment = session->environment();
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")),
            QStringLiteral("desktop")));
        ASSERT_TRUE(bus->isConnected());
    }
    void launch() {
        ASSERT_TRUE(test::writeDefaults(
            home.path(), R"({"hasCompletedOnboarding": true, "hasCompletedFeatureTour": true})"));
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
    // Runs a KWin script and waits for the line it prints into KWin's log (from `marker` to the
    // line's end).
    QByteArray kwinScript(const QByteArray& source, const QByteArray& marker) {
        // KWin refuses a script under a name already loaded: each gets its own.
        static int count = 0;
        const QString name = QStringLiteral("framlet%1").arg(++count);
        const QString path = home.filePath(name + QStringLiteral(".js"));
        if (!test::put(path, source)) {
            return {};
        }
        const QString scripting = QStringLiteral("org.kde.kwin.Scripting");
        call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"), scripting,
             QStringLiteral("loadScript"), {path, name});
        call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"), scripting,
             QStringLiteral("start"));
        QByteArray line;
        (void)QTest::qWaitFor(
            [&] {
                const QByteArray text = test::contents(home.filePath(QStringLiteral("kwin.log")));
                const qsizetype at = text.lastIndexOf(marker);
                line = at < 0 ? QByteArray() : text.mid(at, text.indexOf('\n', at) - at);
                return !line.isEmpty();
            },
            10000);
        return line;
    }
    QByteArray output(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        return process.waitForFinished(20000) && process.exitCode() == 0
                   ? process.readAllStandardOutput()
                   : QByteArray();
    }
    // The shelf's frame through XWayland; not valid while it is not shown.
    QRect shelfFrame() {
        return test::windowGeometry(QStringLiteral("^Framlet Shelf$"), environment);
    }
    bool shelfShown() { return shelfFrame().isValid(); }
    // The work area X11 windows are told (_NET_WORKAREA): the screen less the panels' struts.
    QRect workArea() {
        const QStringList values =
            QString::fromLatin1(output(QStringLiteral("xprop"),
                                       {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")}))
                .section(u'=', 1)
                .split(u',');
        const auto value = [&](int i) { return values.value(i).trimmed().toInt(); };
        return {value(0), value(1), value(2), value(3)};
    }
    QByteArray shelfStates() {
        return output(QStringLiteral("xprop"),
                      {QStringLiteral("-name"), QStringLiteral("Framlet Shelf"),
                       QStringLiteral("_NET_WM_STATE")});
    }
    // Expects the shelf shown against the panel at the top or the bottom of the screen, across
    // the icon.
    void expectAgainstThePanel(QPoint icon, bool atTop) {
        const QRect shelf = shelfFrame();
        const QRect work = workArea();
        EXPECT_TRUE(atTop ? work.top() > 0 : work.bottom() < 1079)
            << "no strut reaches X11 windows";
        const int gap = atTop ? shelf.top() - work.top() : work.bottom() + 1 - shelf.bottom();
        EXPECT_GE(gap, 0);
        EXPECT_LE(gap, 48);
        EXPECT_TRUE(shelf.left() <= icon.x() && icon.x() <= shelf.right()) << shelf.left();
    }
    // Whether the shelf takes the keyboard once opened (its search field is its first stop), as
    // the X server tells.
    bool shelfHasTheKeyboard() {
        return QTest::qWaitFor(
            [&] {
                return output(QStringLiteral("xdotool"),
                              {QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")})
                           .trimmed() == "Framlet Shelf";
            },
            20000);
    }
    // "Copy" in the thumbnail's menu leaves the shelf open, and a native Wayland program pastes
    // the screenshot (wl-paste needs a keyboard on the seat: the virtual one of an input session).
    void expectCopiedThroughTheMenu(QPoint cell) {
        ASSERT_TRUE(
            input({pointerTo(cell), QStringLiteral("click:273"), QStringLiteral("sleep:0.5"),
                   pointerTo(cell + QPoint(44, 76)), QStringLiteral("click:272")}));
        QTest::qWait(500);
        EXPECT_TRUE(shelfShown());
        QProcess keyboard;
        keyboard.setProcessEnvironment(environment);
        keyboard.start(QStringLiteral("/usr/bin/python3"),
                       {inputScript, QStringLiteral("key:42"), QStringLiteral("sleep:6")});
        QTest::qWait(2000);
        const QByteArray pasted =
            output(QStringLiteral("wl-paste"), {QStringLiteral("-t"), QStringLiteral("image/png")});
        EXPECT_EQ(QImage::fromData(pasted).size(), QSize(640, 400));
        keyboard.waitForFinished(20000);
    }
    void startDropTarget() {
        QProcessEnvironment childEnvironment = environment;
        childEnvironment.insert(QStringLiteral("FRAMLET_TEST_CHILD"), QStringLiteral("1"));
        childEnvironment.insert(QStringLiteral("FRAMLET_TEST_DROP_TARGET"), QStringLiteral("1"));
        childEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        dropTarget.setProcessEnvironment(childEnvironment);
        dropTarget.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--gtest_filter=WaylandDropTargetChild.Serve")});
        ASSERT_TRUE(dropTargetSaid("shown\n", 20000));
    }
    // Whether the native Wayland window has printed the line by the time given.
    bool dropTargetSaid(const QByteArray& line, int timeoutMs) {
        return QTest::qWaitFor(
            [&] {
                dropTargetOutput += dropTarget.readAllStandardOutput();
                return dropTargetOutput.contains(line);
            },
            timeoutMs);
    }
    // Input through the desktop's own virtual devices.
    bool input(const QStringList& commands) {
        return run(QStringLiteral("/usr/bin/python3"), QStringList{inputScript} + commands) == 0;
    }
    // Expects the native Wayland window to say it received the file at `path` (in the home).
    void expectDropped(const QString& path) {
        EXPECT_TRUE(
            dropTargetSaid("dropped: " + QFile::encodeName(home.filePath(path)) + '\n', 5000))
            << dropTargetOutput.constData();
    }
    void putScreenshot(const QString& path) {
        QDir().mkpath(QFileInfo(home.filePath(path)).path());
        QImage picture(640, 400, QImage::Format_RGB32);
        picture.fill(QColor(0xf0, 0x90, 0x20));
        ASSERT_TRUE(picture.save(home.filePath(path)));
    }
    // The program with one screenshot, its windows through XWayland and its icon in the tray, and
    // a native Wayland window beside it.
    void launchInTheTray(const QString& screenshot) {
        putScreenshot(screenshot);
        launch();
        ASSERT_TRUE(logged("display: Wayland session, windows through xcb"));
        ASSERT_TRUE(logged("tray: StatusNotifierItem"));
        ASSERT_TRUE(logged("watcher: seeded"));
        startDropTarget();
    }
    int framletSearch(const QString& text) {
        return run(QStringLiteral(FRAMLET_EXECUTABLE), {QStringLiteral("--search"), text});
    }
    ~WaylandDesktopTest() override {
        dropTarget.kill();
        dropTarget.waitForFinished(10000);
        framlet.terminate();
        framlet.waitForFinished(10000);
        bus.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    }

    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/framlet-desktop-XXXXXX")};
    std::unique_ptr<test::DesktopSession> session;
    QProcessEnvironment environment;
    std::unique_ptr<QDBusConnection> bus;
    QString inputScript;  // the desktop's input helper
    QProcess framlet;
    QProcess dropTarget;
    QByteArray dropTargetOutput;
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 20000));
    const auto press = [&] {
        call(accel, QStringLiteral("/component/framlet1"),
             QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("invokeShortcut"),
             {QStringLiteral("toggle-shelf")});
    };
    press();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 20000));
    press();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 20000));
    EXPECT_TRUE(shelfHasTheKeyboard());
}

// GNOME 43 has no GlobalShortcuts portal: with the user's consent Framlet adds a custom
// shortcut that runs its --toggle, which the settings daemon runs at the keys' press. GNOME
// Screenshot saves into Pictures beside other pictures: its captures, and only they, are caught.
TEST_F(WaylandDesktopTest, GnomeRunsTheCustomShortcutAndGnomeScreenshotsCapturesAreCaught) {
    startDesktop(QStringLiteral("gnome-wayland"), {QStringLiteral("MEDIA_KEYS=1")});
    ASSERT_NO_FATAL_FAILURE(putScreenshot(QStringLiteral("Pictures/holiday.png")));

    // Its windows go through XWayland by themselves, where the X server tells which one has the
    // keyboard.
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

    EXPECT_FALSE(shelfShown());
    ASSERT_TRUE(input({QStringLiteral("key:1"), QStringLiteral("key:125,42,3")}));
    EXPECT_TRUE(shelfHasTheKeyboard());
    ASSERT_TRUE(input({QStringLiteral("key:125,42,3")}));  // the command toggles, not only shows
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 20000));

    ASSERT_EQ(run(QStringLiteral("gnome-screenshot"), {}), 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return framletSearch(QStringLiteral("Screenshot from")) == 0; }, 30000));
    EXPECT_EQ(framletSearch(QStringLiteral("holiday")), 1);
}

// On GNOME the program's windows go through XWayland by themselves: there the shelf opens under
// the icon the AppIndicator extension shows in the top bar, stays out of the task lists, hides
// when another window is clicked, and what it copies reaches native Wayland programs.
TEST_F(WaylandDesktopTest, GnomeShelfOpensUnderTheTrayIconAndHidesOnAClickElsewhere) {
    startDesktop(QStringLiteral("gnome-wayland"));
    const QString screenshot =
        QStringLiteral("Pictures/Screenshots/Screenshot from 2026-12-07 10-11-12.png");
    ASSERT_NO_FATAL_FAILURE(launchInTheTray(screenshot));

    // The top bar's only tray icon, left of the indicator the input session shows.
    const QPoint icon(1775, 12);
    // The extension shows the icon a while after the item registers, later still on a busy
    // machine: until the shelf opens, click again now and then.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return input({QStringLiteral("key:1"), QStringLiteral("sleep:1"), pointerTo(icon),
                          QStringLiteral("click:272")}) &&
                   QTest::qWaitFor([&] { return shelfShown(); }, 4000);
        },
        30000));
    expectAgainstThePanel(icon, true);
    const QByteArray states = shelfStates();
    EXPECT_TRUE(states.contains("_NET_WM_STATE_SKIP_TASKBAR")) << states.constData();
    EXPECT_TRUE(states.contains("_NET_WM_STATE_SKIP_PAGER")) << states.constData();

    const QPoint cell = shelfFrame().topLeft() + QPoint(64, 92);
    expectCopiedThroughTheMenu(cell);

    // A thumbnail dragged onto the native Wayland window arrives there as its file.
    ASSERT_TRUE(input({pointerTo(cell), QStringLiteral("down:272"), QStringLiteral("drag:-300,200"),
                       QStringLiteral("drag:-500,300"), QStringLiteral("sleep:0.5"),
                       QStringLiteral("up:272")}));
    expectDropped(screenshot);
    if (shelfShown()) {
        ASSERT_TRUE(input({QStringLiteral("key:1")}));  // a drop may leave the shelf open
    }
    // A click on a Wayland window, which XWayland never hears of.
    ASSERT_TRUE(input({pointerTo(QPoint(400, 600)), QStringLiteral("click:272")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 5000));
    // Every single click toggles, not only the first: the extension waits for double clicks
    // once an item has answered one click without an error.
    for (const bool open : {true, false}) {
        ASSERT_TRUE(
            input({QStringLiteral("sleep:1"), pointerTo(icon), QStringLiteral("click:272")}));
        EXPECT_TRUE(QTest::qWaitFor([&] { return shelfShown() == open; }, 10000))
            << (open ? "a second click on the icon did not open the shelf"
                     : "a third click on the icon did not close the shelf");
    }
}

// Plasma's panel runs inside KWin; the program's windows go through XWayland. A click on the
// icon, as the panel reports it, opens the shelf above the icon on the bottom panel; the shelf is
// in no task list and hides when another window takes the activation; what it copies reaches
// native Wayland programs.
TEST_F(WaylandDesktopTest, PlasmaShelfOpensAboveTheTrayIconAndStaysOutOfTheTaskLists) {
    startDesktop(QStringLiteral("plasma-wayland"), {QStringLiteral("PLASMASHELL=1")});
    const QString screenshot = QStringLiteral("Pictures/Screenshot_20261207_101112.png");
    ASSERT_NO_FATAL_FAILURE(launchInTheTray(screenshot));

    // The click the panel passes on: the icon's place near the bottom right corner.
    const QDBusMessage items = call(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
        {QStringLiteral("org.kde.StatusNotifierWatcher"),
         QStringLiteral("RegisteredStatusNotifierItems")});
    const QStringList registered =
        items.arguments().value(0).value<QDBusVariant>().variant().toStringList();
    ASSERT_EQ(registered.size(), 1);
    const QPoint icon(1712, 1058);
    const auto activate = [&] {
        call(registered.first().section(u'/', 0, 0), QStringLiteral("/StatusNotifierItem"),
             QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"),
             {icon.x(), icon.y()});
    };
    activate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 10000));
    expectAgainstThePanel(icon, false);
    // What the task manager, the pager and the task switcher read of it.
    EXPECT_EQ(kwinScript("workspace.clientList().forEach(function (c) {"
                         "  if (c.caption == 'Framlet Shelf') print('shelf: ' + c.skipTaskbar +"
                         "    ' ' + c.skipPager + ' ' + c.skipSwitcher); });",
                         "shelf: "),
              "shelf: true true true");

    const QPoint cell = shelfFrame().topLeft() + QPoint(64, 92);
    expectCopiedThroughTheMenu(cell);

    // A click on the other window hides the shelf.
    ASSERT_TRUE(input({pointerTo(QPoint(400, 300)), QStringLiteral("click:272")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 5000));

    // A thumbnail dragged onto the native Wayland window arrives there as its file. (A click
    // on the icon just after the shelf hid is the click that hid it: wait before the next.)
    QTest::qWait(1000);
    activate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 10000));
    ASSERT_TRUE(input({pointerTo(cell), QStringLiteral("down:272"), QStringLiteral("drag:-100,-50"),
                       QStringLiteral("sleep:0.5")}));
    ASSERT_TRUE(input(
        {QStringLiteral("drag:-500,-300"), QStringLiteral("sleep:0.5"), QStringLiteral("up:272")}));
    expectDropped(screenshot);
}

}  // namespace
