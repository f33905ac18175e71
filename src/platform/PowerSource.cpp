#include "platform/PowerSource.h"

#include <QDBusMessage>
#include <QDBusReply>

namespace framlet {
namespace {
const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
}  // namespace

PowerSource::PowerSource(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(bus) {
    if (!m_bus.isConnected()) {
        return;
    }
    m_bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    read();
}

void PowerSource::read() {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    get << kService << QStringLiteral("OnBattery");
    const QDBusReply<QDBusVariant> reply = m_bus.call(get, QDBus::Block, 2000);
    adopt(reply.isValid() && reply.value().variant().toBool());
}

void PowerSource::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated) {
    if (interface != kService) {
        return;
    }
    if (changed.contains(QStringLiteral("OnBattery"))) {
        adopt(changed.value(QStringLiteral("OnBattery")).toBool());
    } else if (invalidated.contains(QStringLiteral("OnBattery"))) {
        read();
    }
}

void PowerSource::adopt(bool onBattery) {
    if (onBattery != m_onBattery) {
        m_onBattery = onBattery;
        Q_EMIT onBatteryChanged(onBattery);
    }
}

}  // namespace framlet
