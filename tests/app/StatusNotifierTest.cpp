#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "app/StatusItem.h"
#include "library/decoding/DecodeBudget.h"
#include "platform/widgets/SystemTray.h"

using namespace framlet;

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

// A stand-in for the StatusNotifierItem watcher a KDE or GNOME panel runs on the session bus
// (scripts/x-session --dbus gives the test a bus of its own).
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { m_items.append(service); }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    QStringList m_items;
};

// The watcher runs in a process of its own, as the panel's does: the tray icon calls it
// synchronously.
TEST(StatusNotifierChild, ServeAsWatcher) {
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_FAKE_WATCHER")) {
        GTEST_SKIP() << "only runs as a child of StatusNotifierTest";
    }
    FakeWatcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                   QDBusConnection::ExportAllContents));
    ASSERT_TRUE(bus.registerService(kWatcher));
    QTest::qWait(60000);  // until the parent ends it
}

class StatusNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FRAMLET_TEST_CHILD"), QStringLiteral("1"));
        environment.insert(QStringLiteral("FRAMLET_TEST_FAKE_WATCHER"), QStringLiteral("1"));
        watcher.setProcessEnvironment(environment);
        watcher.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_filter=StatusNotifierChild.ServeAsWatcher")});
        ASSERT_TRUE(QTest::qWaitFor([&] { return watcherRuns(); }, 10000));
    }
    void TearDown() override {
        watcher.kill();
        watcher.waitForFinished();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !watcherRuns(); }, 5000));
    }
    bool watcherRuns() const { return bus.interface()->isServiceRegistered(kWatcher); }
    // The bus names of the items that registered with the watcher.
    QStringList registeredItems() const {
        QDBusInterface properties(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                  bus);
        return properties.property("RegisteredStatusNotifierItems").toStringList();
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnection panel =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("panel"));
    QProcess watcher;
    DecodeBudget budget{DecodeBudget::processCapacity};
};

TEST_F(StatusNotifierTest, AnXEmbedTrayThatEmbedsTheIconWinsOverAStatusNotifierHost) {
    const SystemTray::Hosts hosts = SystemTray::probe();
    EXPECT_TRUE(hosts.statusNotifier);
    EXPECT_TRUE(hosts.xembed);
    EXPECT_EQ(hosts.xembedProgram, QStringLiteral("trayer"));  // found through X-Resource
    const SystemTray::Choice choice = SystemTray::choose(hosts);
    EXPECT_EQ(choice.kind, SystemTray::Kind::xembed);
    EXPECT_TRUE(choice.reason.contains(QStringLiteral("dragging"))) << choice.reason.toStdString();

    // A proxy into StatusNotifierItem in trayer's place keeps nothing XEmbed could.
    SystemTray::Hosts proxied = hosts;
    for (const char* proxy : {"xembedsniproxy", "gnome-shell"}) {
        proxied.xembedProgram = QString::fromLatin1(proxy);
        EXPECT_EQ(SystemTray::choose(proxied).kind, SystemTray::Kind::statusNotifier) << proxy;
    }
    proxied.xembedProgram.clear();  // an owner that cannot be told is taken to embed
    EXPECT_EQ(SystemTray::choose(proxied).kind, SystemTray::Kind::xembed);

    TearDown();
    EXPECT_EQ(SystemTray::detect(), SystemTray::Kind::xembed);  // trayer is still there
    EXPECT_EQ(SystemTray::choose({true, false, {}}).kind, SystemTray::Kind::statusNotifier);
    EXPECT_EQ(SystemTray::choose({false, false, {}}).kind, SystemTray::Kind::none);
}

TEST_F(StatusNotifierTest, ActivatingTheItemClicksAndAnchorsTheShelfAtTheClick) {
    StatusItem item(SystemTray::Kind::statusNotifier, budget);
    int clicks = 0;
    QObject::connect(&item, &StatusItem::clicked, [&] { ++clicks; });
    EXPECT_EQ(item.dragView(), nullptr);  // no dragging from a StatusNotifierItem
    EXPECT_FALSE(item.iconGeometry().has_value());
    QStringList items;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(items = registeredItems()).isEmpty(); }, 5000));

    // What the panel sends when the user clicks the icon; the pointer is elsewhere, as it is
    // for an X11 program when the panel is a Wayland surface.
    QDBusMessage activate = QDBusMessage::createMethodCall(
        items.first(), QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"));
    activate << 700 << 790;
    const auto reply = [&] {
        QDBusPendingCall call = panel.asyncCall(activate);
        (void)QTest::qWaitFor([&] { return call.isFinished(); }, 5000);
        return call.reply().type();
    };
    // Plasma takes an error as "no activation" and opens a menu instead: a plain answer.
    EXPECT_EQ(reply(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(clicks, 1);
    ASSERT_TRUE(item.iconGeometry().has_value());
    EXPECT_EQ(item.iconGeometry()->topLeft(), QPoint(700, 790));

    // GNOME Shell's tray passes on single clicks only while Activate has never succeeded.
    ASSERT_TRUE(panel.registerService(QStringLiteral("org.gnome.Shell")));
    EXPECT_EQ(reply(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(clicks, 2);
    panel.unregisterService(QStringLiteral("org.gnome.Shell"));
}

// The host reads the icon and its words as properties of the item (as gdbus prints them).
TEST_F(StatusNotifierTest, TheHostReadsTheLanternByNameOrPixelsAndTheToolTip) {
    StatusItem item(SystemTray::Kind::statusNotifier, budget);
    QStringList items;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(items = registeredItems()).isEmpty(); }, 5000));
    const auto property = [&](const char* name) {
        QProcess gdbus;
        gdbus.start(
            QStringLiteral("gdbus"),
            {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
             items.first(), QStringLiteral("--object-path"), QStringLiteral("/StatusNotifierItem"),
             QStringLiteral("--method"), QStringLiteral("org.freedesktop.DBus.Properties.Get"),
             QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(name)});
        // The item answers from this thread: wait with the event loop running.
        (void)QTest::qWaitFor([&] { return gdbus.state() == QProcess::NotRunning; }, 10000);
        return gdbus.readAllStandardOutput().trimmed();
    };
    const QString installed =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/icons/hicolor/scalable/status/");
    EXPECT_TRUE(QFile::exists(installed + QStringLiteral("framlet-lantern-symbolic.svg")));
    EXPECT_TRUE(QFile::exists(installed + QStringLiteral("framlet-lantern-lit-symbolic.svg")));
    EXPECT_EQ(property("IconName"), "(<'framlet-lantern-symbolic'>,)");
    EXPECT_EQ(property("Id"), "(<'io.github.framlet.Framlet'>,)");
    item.setFill(1.0);
    EXPECT_EQ(property("IconName"), "(<'framlet-lantern-lit-symbolic'>,)");
    item.setFill(0.5);  // an animation frame: pixels only
    EXPECT_EQ(property("IconName"), "(<''>,)");
    // Pixels as a(iiay): the 16 px picture first, ARGB32 in network byte order.
    const QByteArray pixmaps = property("IconPixmap");
    EXPECT_TRUE(pixmaps.startsWith("(<[(16, 16, [byte 0x")) << pixmaps.left(40).constData();
    EXPECT_EQ(pixmaps.left(pixmaps.indexOf("])")).count("0x"), 16 * 16 * 4);

    item.setToolTip(QStringLiteral("Framlet"), QStringLiteral("3 new screenshots"));
    EXPECT_EQ(property("Title"), "(<'Framlet'>,)");
    EXPECT_EQ(property("ToolTip"), "(<('', @a(iiay) [], 'Framlet', '3 new screenshots')>,)");
}

}  // namespace

#include "StatusNotifierTest.moc"
