#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "DelegateServices.h"
#include "ManualTimers.h"
#include "app/AppDelegate.h"
#include "platform/PortalKeyGrabber.h"
#include "preferences/Settings.h"
#include "shelf/PanelController.h"
#include "shortcut/HotKey.h"

using namespace framlet;

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

// The desktop's GlobalShortcuts portal as a stand-in on the session bus of scripts/x-session
// (private to the test), answering as the real one does: a request path at once, the outcome
// later as a Response signal on it. It runs on a thread of its own, so that nothing the program
// asks synchronously can wait on the test's event loop.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    // How BindShortcuts is answered: with the keys, refused, or as KDE does, with no keys yet.
    enum class Answer { binds, declines, leavesToSettings };
    explicit FakePortal(Answer answer) : m_answer(answer) {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
    }
    uint version() const { return 1; }

    // The keys the program asked for, in the portal's notation.
    QString preferredTrigger() {
        const QMutexLocker lock(&m_mutex);
        return m_requested.value(PortalKeyGrabber::shortcutId)
            .toMap()
            .value(QStringLiteral("preferred_trigger"))
            .toString();
    }
    QString session() {
        const QMutexLocker lock(&m_mutex);
        return m_session;
    }

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options) {
        const QString session =
            path(QStringLiteral("session"), options.value(QStringLiteral("session_handle_token")));
        {
            const QMutexLocker lock(&m_mutex);
            m_session = session;
        }
        return respond(options, 0, {{QStringLiteral("session_handle"), session}});
    }
    // The type is spelled in full: the bus matches the slot by the name of its argument type.
    QDBusObjectPath BindShortcuts(const QDBusObjectPath&,
                                  const QList<framlet::PortalShortcut>& shortcuts, const QString&,
                                  const QVariantMap& options) {
        {
            const QMutexLocker lock(&m_mutex);
            for (const PortalShortcut& shortcut : shortcuts) {
                m_requested.insert(shortcut.id, shortcut.properties);
            }
        }
        if (m_answer == Answer::declines) {
            return respond(options, 1, {});
        }
        QList<PortalShortcut> bound;
        if (m_answer == Answer::binds) {
            bound = shortcuts;
        }
        for (PortalShortcut& shortcut : bound) {
            shortcut.properties.insert(QStringLiteral("trigger_description"),
                                       QStringLiteral("Meta+Shift+2"));
        }
        return respond(options, 0, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
    }

private:
    QString path(const QString& kind, const QVariant& token) const {
        const QString sender = message().service().mid(1).replace(QLatin1Char('.'), u'_');
        return kPath + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') +
               token.toString();
    }
    QDBusObjectPath respond(const QVariantMap& options, uint response, const QVariantMap& results) {
        const QString request =
            path(QStringLiteral("request"), options.value(QStringLiteral("handle_token")));
        QDBusMessage signal = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        connection().send(signal);
        return QDBusObjectPath(request);
    }

    const Answer m_answer;
    QMutex m_mutex;
    QVariantMap m_requested;
    QString m_session;
};

class PortalShortcutTest : public ::testing::Test, protected test::LaunchedDelegate {
protected:
    ~PortalShortcutTest() override {
        delegate.reset();
        grabber.reset();
        portalBus.unregisterService(kPortal);
        portalBus.unregisterObject(kPath);
        thread.quit();
        thread.wait();
        delete portal;
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }

    // Starts the portal answering so, and the delegate with a grabber through it.
    void launch(FakePortal::Answer answer) {
        portal = new FakePortal(answer);
        portal->moveToThread(&thread);
        thread.start();
        ASSERT_TRUE(portalBus.registerObject(
            kPath, portal, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        ASSERT_TRUE(portalBus.registerService(kPortal));
        ASSERT_TRUE(PortalKeyGrabber::offered(QDBusConnection::sessionBus()));
        grabber = std::make_unique<PortalKeyGrabber>(QDBusConnection::sessionBus(),
                                                     QStringLiteral("org.example.Test"));
        LaunchedDelegate::launch(*grabber);
    }
    void sendSignal(const QString& name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(
            kPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), name);
        signal.setArguments(arguments);
        portalBus.send(signal);
    }
    void activate() {
        sendSignal(QStringLiteral("Activated"),
                   {QVariant::fromValue(QDBusObjectPath(portal->session())),
                    PortalKeyGrabber::shortcutId, qulonglong(0), QVariantMap()});
    }

    QDBusConnection portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal"));
    QThread thread;
    FakePortal* portal = nullptr;
    std::unique_ptr<PortalKeyGrabber> grabber;
};

TEST_F(PortalShortcutTest, BindsTheStoredShortcutAndEachActivationTogglesTheShelf) {
    settings.setHotKey({18, 4096 | 2048});  // Ctrl+Alt+1, stored instead of the default
    launch(FakePortal::Answer::binds);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hotKeyStatus.desktopBinding().has_value(); }, 10000));
    const QString described = *hotKeyStatus.desktopBinding();

    EXPECT_EQ(portal->preferredTrigger(), QStringLiteral("CTRL+ALT+1"));
    EXPECT_EQ(described, QStringLiteral("Meta+Shift+2"));
    EXPECT_FALSE(hotKeyStatus.errorMessage().has_value());

    activate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
    activate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 5000));
}

// KDE binds no keys at first and opens System Settings; the keys chosen there come later.
TEST_F(PortalShortcutTest, AnAnswerWithoutKeysKeepsTheSessionAndFollowsTheDesktopsChoice) {
    launch(FakePortal::Answer::leavesToSettings);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hotKeyStatus.desktopBinding().has_value(); }, 10000));
    EXPECT_EQ(*hotKeyStatus.desktopBinding(), QString());
    EXPECT_FALSE(hotKeyStatus.errorMessage().has_value());
    ASSERT_NE(delegate->hotKey(), nullptr);

    const QVariantMap chosen{
        {QStringLiteral("trigger_description"), QStringLiteral("Meta+Shift+2")}};
    const QList<PortalShortcut> shortcuts{{PortalKeyGrabber::shortcutId, chosen}};
    sendSignal(QStringLiteral("ShortcutsChanged"),
               {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/elsewhere"))),
                QVariant::fromValue(QList<PortalShortcut>{})});
    sendSignal(
        QStringLiteral("ShortcutsChanged"),
        {QVariant::fromValue(QDBusObjectPath(portal->session())), QVariant::fromValue(shortcuts)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !hotKeyStatus.desktopBinding()->isEmpty(); }, 10000));
    EXPECT_EQ(hotKeyStatus.desktopBindingText(),
              QStringLiteral("Set by your desktop: Meta+Shift+2"));
    activate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
}

TEST_F(PortalShortcutTest, ARefusalReachesTheHotKeyStatusAndLeavesNoShortcut) {
    launch(FakePortal::Answer::declines);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hotKeyStatus.errorMessage().has_value(); }, 10000));
    EXPECT_EQ(*hotKeyStatus.errorMessage(),
              HotKey::RegistrationError::failed(KeyGrabber::portalDeclined).userMessage());
    EXPECT_EQ(delegate->hotKey(), nullptr);
    // The preferred trigger follows the portal's notation for the default shortcut.
    EXPECT_EQ(portal->preferredTrigger(), QStringLiteral("SHIFT+LOGO+2"));
}

}  // namespace

#include "PortalShortcutTest.moc"
