#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include "ShelfFixture.h"
#include "platform/ColorScheme.h"
#include "shelf/PanelView.h"

using namespace framlet;

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

// A stand-in for the desktop's settings portal, which prefers dark.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key) {
        const bool known = group == u"org.freedesktop.appearance" && key == u"color-scheme";
        // The value in a variant, returned in a variant, as the portal does.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(known ? 1u : 0u)));
    }
};

TEST(ColorScheme, FollowsThePortalAndTheSystemThemeFollowsIt) {
    // The portal answers on a connection and in a thread of its own, as the desktop's does from
    // its own process: the scheme's first read blocks this thread until the answer.
    QThread thread;
    FakePortal portal;
    portal.moveToThread(&thread);
    thread.start();
    const auto stop = qScopeGuard([&] {
        thread.quit();
        thread.wait();
    });
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kPortal);
    ASSERT_TRUE(bus.registerObject(kPath, &portal, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(kPortal));

    // The fixture's scheme reads the preference when it starts, and the shelf's "system" theme
    // follows it, then the change the portal announces.
    test::ShelfFixture shelf;
    PanelView view(*shelf.store, shelf.selection, shelf.settings, shelf.services());
    EXPECT_EQ(shelf.colorScheme.preference(), ColorScheme::Preference::dark);
    EXPECT_LT(view.palette().color(QPalette::Window).lightness(), 100);
    QDBusMessage changed = QDBusMessage::createSignal(
        kPath, QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"));
    changed << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
            << QVariant::fromValue(QDBusVariant(2u));  // the user switches to light
    bus.send(changed);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shelf.colorScheme.preference() == ColorScheme::Preference::light; }, 10000));
    EXPECT_GT(view.palette().color(QPalette::Window).lightness(), 200);
    bus.unregisterService(kPortal);
    QDBusConnection::disconnectFromBus(kPortal);
}

}  // namespace

#include "ColorSchemeTest.moc"
