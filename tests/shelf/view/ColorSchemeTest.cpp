#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "ShelfFixture.h"
#include "platform/ColorScheme.h"
#include "shelf/PanelView.h"

using namespace framlet;

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

// A stand-in for the desktop's settings portal: prefers dark, and tells of a change to light.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key) {
        const bool known = group == u"org.freedesktop.appearance" && key == u"color-scheme";
        // The value in a variant, returned in a variant, as the portal does.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(known ? 1u : 0u)));
    }

public:
    static void announce(uint scheme) {
        QDBusMessage changed =
            QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.portal.Settings"),
                                       QStringLiteral("SettingChanged"));
        changed << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
                << QVariant::fromValue(QDBusVariant(scheme));
        QDBusConnection::sessionBus().send(changed);
    }
};

// The portal runs in a process of its own, as the desktop's does.
TEST(ColorSchemeChild, ServeAsPortal) {
    if (!qEnvironmentVariableIsSet("FRAMLET_TEST_FAKE_PORTAL")) {
        GTEST_SKIP() << "only runs as a child of ColorSchemeTest";
    }
    FakePortal portal;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerObject(kPath, &portal, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(kPortal));
    QTimer::singleShot(1500, [] { FakePortal::announce(2); });  // the user switches to light
    QTest::qWait(60000);                                        // until the parent ends it
}

TEST(ColorScheme, FollowsThePortalAndTheSystemThemeFollowsIt) {
    QProcess portal;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FRAMLET_TEST_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("FRAMLET_TEST_FAKE_PORTAL"), QStringLiteral("1"));
    portal.setProcessEnvironment(environment);
    portal.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=ColorSchemeChild.ServeAsPortal")});
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortal); },
        10000));

    // The fixture's scheme reads the preference when it starts, and the shelf's "system" theme
    // follows it, then the change the portal announces.
    test::ShelfFixture shelf;
    PanelView view(*shelf.store, shelf.selection, shelf.settings, shelf.services());
    EXPECT_EQ(shelf.colorScheme.preference(), ColorScheme::Preference::dark);
    EXPECT_LT(view.palette().color(QPalette::Window).lightness(), 100);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shelf.colorScheme.preference() == ColorScheme::Preference::light; }, 10000));
    EXPECT_GT(view.palette().color(QPalette::Window).lightness(), 200);
    portal.kill();
    portal.waitForFinished();
}

}  // namespace

#include "ColorSchemeTest.moc"
