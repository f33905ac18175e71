#include "platform/InstanceService.h"

#include <QDBusConnectionInterface>

#include "platform/ApplicationId.h"

namespace framlet {

QString InstanceService::objectPath() {
    return QLatin1Char('/') + applicationId().replace(QLatin1Char('.'), QLatin1Char('/'));
}

InstanceService::InstanceService(QDBusConnection bus, Searcher search, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_search(std::move(search)) {
}

InstanceService::~InstanceService() {
    if (m_exported) {
        m_bus.unregisterObject(objectPath());
    }
}

InstanceService::Claim InstanceService::claim() {
    if (!m_bus.isConnected() || !m_bus.interface()) {
        return Claim::noBus;
    }
    // Exported before the name is asked for, so that no command can reach a name without it.
    m_exported = m_bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(applicationId(),
                                           QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        return Claim::noBus;
    }
    return reply.value() == QDBusConnectionInterface::ServiceRegistered ? Claim::owned
                                                                        : Claim::taken;
}

void InstanceService::Toggle() {
    Q_EMIT toggleRequested();
}

void InstanceService::Show() {
    Q_EMIT showRequested();
}

void InstanceService::Hide() {
    Q_EMIT hideRequested();
}

void InstanceService::OpenSettings() {
    Q_EMIT settingsRequested();
}

QStringList InstanceService::Search(const QString& text) {
    return m_search ? m_search(text) : QStringList();
}

}  // namespace framlet
