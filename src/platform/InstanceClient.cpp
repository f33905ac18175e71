#include "platform/InstanceClient.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>

#include "platform/ApplicationId.h"

namespace framlet {
namespace {

QDBusMessage request(const QString& method) {
    // No activation: a command must not start a program that is not running.
    QDBusMessage message = QDBusMessage::createMethodCall(
        applicationId(), InstanceService::objectPath(), applicationId(), method);
    message.setAutoStartService(false);
    return message;
}

}  // namespace

InstanceClient::InstanceClient(QDBusConnection bus) : m_bus(std::move(bus)) {
}

bool InstanceClient::call(const QString& method) const {
    if (!m_bus.isConnected()) {
        return false;
    }
    return m_bus.call(request(method)).type() == QDBusMessage::ReplyMessage;
}

std::optional<InstanceService::Found> InstanceClient::search(const QString& text) const {
    if (!m_bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage message = request(QStringLiteral("SearchPaths"));
    message << text;
    const QDBusMessage reply = m_bus.call(message);
    const QList<QVariant> values = reply.arguments();
    if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == u"aayb") {
        return InstanceService::Found{qdbus_cast<QByteArrayList>(values.at(0)),
                                      values.at(1).toBool()};
    }
    if (reply.errorName() != u"org.freedesktop.DBus.Error.UnknownMethod") {
        return std::nullopt;
    }
    message = request(QStringLiteral("Search"));
    message << text;
    const QDBusReply<QStringList> paths = m_bus.call(message);
    if (!paths.isValid()) {
        return std::nullopt;
    }
    InstanceService::Found found;
    for (const QString& path : paths.value()) {
        found.paths.append(QFile::encodeName(path));
    }
    return found;
}

}  // namespace framlet
