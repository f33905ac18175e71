#include "platform/ColorScheme.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace framlet {
namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
constexpr int kReadTimeoutMs = 500;  // start-up must not hang on a portal that does not answer

// The portal wraps the value in a variant, and Read wraps that once more.
QVariant unwrap(QVariant value) {
    while (value.canConvert<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    if (value.canConvert<QDBusArgument>()) {
        QDBusVariant inner;
        value.value<QDBusArgument>() >> inner;
        value = inner.variant();
    }
    return value;
}

}  // namespace

ColorScheme& ColorScheme::shared() {
    static ColorScheme scheme;
    return scheme;
}

ColorScheme::ColorScheme(QObject* parent) : QObject(parent) {
    qRegisterMetaType<QDBusVariant>();  // before connecting a slot that takes one
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(kPortal, kPath, kSettings, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    read();
}

void ColorScheme::read() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortal, kPath, kSettings, QStringLiteral("Read"));
    call << kGroup << kKey;
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kReadTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        adopt(unwrap(reply.arguments().first()).toUInt());
    }
}

void ColorScheme::settingChanged(const QString& group, const QString& key,
                                 const QDBusVariant& value) {
    if (group == kGroup && key == kKey) {
        adopt(unwrap(value.variant()).toUInt());
    }
}

void ColorScheme::adopt(uint value) {
    const Preference preference = value == 1   ? Preference::dark
                                  : value == 2 ? Preference::light
                                               : Preference::none;
    if (preference != m_preference) {
        m_preference = preference;
        Q_EMIT preferenceChanged();
    }
}

}  // namespace framlet
