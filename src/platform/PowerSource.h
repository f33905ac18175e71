#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

namespace framlet {

// Whether the machine runs on battery, from UPower's OnBattery on the system bus, followed while
// the program runs. Without a system bus or UPower the machine counts as plugged in.
class PowerSource : public QObject {
    Q_OBJECT

public:
    explicit PowerSource(QDBusConnection bus, QObject* parent = nullptr);

    bool onBattery() const { return m_onBattery; }

Q_SIGNALS:
    void onBatteryChanged(bool onBattery);

private Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);

private:
    void read();
    void adopt(bool onBattery);

    QDBusConnection m_bus;
    bool m_onBattery = false;
};

}  // namespace framlet
