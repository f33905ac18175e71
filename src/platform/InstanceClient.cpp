#include "platform/InstanceClient.h"

#include <QDBusMessage>
#include <QDBusReply>

#include "platform/ApplicationId.h"
#include "platform/InstanceService.h"

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

std::optional<QStringList> InstanceClient::search(const QString& text) const {
    if (!m_bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage message = request(QStringLiteral("Search"));
    message << text;
    const QDBusReply<QStringList> reply = m_bus.call(message);
    if (!reply.isValid()) {
        return std::nullopt;
    }
    return reply.value();
}

}  // namespace framlet
