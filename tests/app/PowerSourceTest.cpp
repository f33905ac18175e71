#include <gtest/gtest.h>

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>

#include "platform/PowerSource.h"

namespace framlet {
namespace {

// UPower as the system bus offers it, played on the test session's own bus.
class UPowerStandIn : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower")
    Q_PROPERTY(bool OnBattery READ onBattery)

public:
    explicit UPowerStandIn(QObject* owner) : QDBusAbstractAdaptor(owner) {}
    bool onBattery() const { return battery; }
    void unplug() {
        battery = true;
        QDBusMessage changed = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/UPower"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
        changed << QStringLiteral("org.freedesktop.UPower")
                << QVariantMap{{QStringLiteral("OnBattery"), true}} << QStringList();
        QDBusConnection::sessionBus().send(changed);
    }
    bool battery = false;
};

TEST(PowerSourceTest, FollowsUPowersOnBatteryAndCountsAMissingBusAsPluggedIn) {
    EXPECT_FALSE(PowerSource(QDBusConnection(QStringLiteral("none"))).onBattery());

    QDBusConnection bus = QDBusConnection::sessionBus();
    QObject owner;
    auto* upower = new UPowerStandIn(&owner);
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/UPower"), &owner));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.UPower")));
    PowerSource power(bus);
    EXPECT_FALSE(power.onBattery());
    QSignalSpy changed(&power, &PowerSource::onBatteryChanged);
    upower->unplug();
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_TRUE(power.onBattery());
    EXPECT_TRUE(PowerSource(bus).onBattery());  // read at start as well
    bus.unregisterService(QStringLiteral("org.freedesktop.UPower"));
}

}  // namespace
}  // namespace framlet

#include "PowerSourceTest.moc"
