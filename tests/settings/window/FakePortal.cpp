#include "FakePortal.h"

#include <QDBusMessage>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace framlet::test {

FakePortal::FakePortal()
    : m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                 QStringLiteral("fake-portal"))) {
    m_registered = m_connection.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                               this, QDBusConnection::ExportAllSlots) &&
                   m_connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

FakePortal::~FakePortal() {
    m_connection.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
}

QDBusObjectPath FakePortal::OpenFile(const QString&, const QString&, const QVariantMap& options) {
    requests.append(options);
    QString sender = message().service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender +
                           QLatin1Char('/') +
                           options.value(QStringLiteral("handle_token")).toString();
    const QString folder = answerFolder;
    const auto answer = [this, handle, folder] {
        QDBusMessage response = QDBusMessage::createSignal(
            handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        QVariantMap results;
        if (!folder.isEmpty()) {
            results.insert(QStringLiteral("uris"),
                           QStringList{QUrl::fromLocalFile(folder).toString()});
        }
        response << uint(folder.isEmpty() ? 1 : 0) << results;
        m_connection.send(response);
    };
    if (holdAnswers) {
        m_held.append(answer);
    } else {
        QTimer::singleShot(50, this, answer);
    }
    Q_EMIT requested();
    return QDBusObjectPath(handle);
}

void FakePortal::release() {
    for (const auto& answer : std::exchange(m_held, {})) {
        answer();
    }
}

}  // namespace framlet::test

#include <QDBusArgument>

namespace framlet::test {

KConfigNotices::KConfigNotices(const QString& file)
    : m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                 QStringLiteral("kconfig-notices"))) {
    m_connection.connect(QString(), QLatin1Char('/') + file,
                         QStringLiteral("org.kde.kconfig.notify"), QStringLiteral("ConfigChanged"),
                         this, SLOT(configChanged(QDBusMessage)));
}

KConfigNotices::~KConfigNotices() {
    QDBusConnection::disconnectFromBus(QStringLiteral("kconfig-notices"));
}

void KConfigNotices::configChanged(const QDBusMessage& message) {
    QMap<QString, QStringList> notice;
    const QDBusArgument argument = message.arguments().value(0).value<QDBusArgument>();
    argument.beginMap();
    while (!argument.atEnd()) {
        QString group;
        QByteArrayList keys;
        argument.beginMapEntry();
        argument >> group >> keys;
        argument.endMapEntry();
        for (const QByteArray& key : keys) {
            notice[group].append(QString::fromUtf8(key));
        }
    }
    argument.endMap();
    notices.append(notice);
}

}  // namespace framlet::test
