#include "platform/InstanceService.h"

#include <QDBusMetaType>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "platform/ApplicationId.h"
#include "platform/DebugLog.h"

namespace framlet {

QString InstanceService::objectPath() {
    return QLatin1Char('/') + applicationId().replace(QLatin1Char('.'), QLatin1Char('/'));
}

InstanceService::InstanceService(QDBusConnection bus, Searcher search, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_search(std::move(search)) {
    // SearchPaths is exported only once the bus knows how to carry its answer.
    qDBusRegisterMetaType<QByteArrayList>();
}

InstanceService::~InstanceService() {
    release();
    if (m_exported) {
        m_bus.unregisterObject(objectPath());
    }
}

InstanceService::Claim InstanceService::claim(std::optional<qint64> replacing) {
    if (!m_bus.isConnected() || !m_bus.interface()) {
        return Claim::noBus;
    }
    // Exported before the name is asked for, so that no command can reach a name without it.
    m_exported = m_bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots);
    const Claim claim = request(QDBusConnectionInterface::DontQueueService);
    if (claim != Claim::taken || !replacing) {
        return claim;
    }
    // Only the instance being replaced is waited for; any other one takes this launch's command.
    const QDBusReply<uint> owner = m_bus.interface()->servicePid(applicationId());
    if (owner.isValid() && qint64{owner.value()} != *replacing) {
        return Claim::taken;
    }
    DebugLog::log(QStringLiteral("instance: waiting for the Framlet it replaces (pid %1) to leave")
                      .arg(*replacing));
    return awaitHandOver();
}

void InstanceService::release() {
    if (m_bus.isConnected() && m_bus.interface() && owns()) {
        m_bus.interface()->unregisterService(applicationId());
    }
}

InstanceService::Claim InstanceService::request(
    QDBusConnectionInterface::ServiceQueueOptions queueing) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(applicationId(), queueing,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        return Claim::noBus;
    }
    return reply.value() == QDBusConnectionInterface::ServiceRegistered ? Claim::owned
                                                                        : Claim::taken;
}

InstanceService::Claim InstanceService::awaitHandOver() {
    // In the bus's queue the name passes to this process the moment its owner lets go or ends.
    // The watcher is set up first, so that a hand-over right after queueing is not missed.
    QEventLoop loop;
    const QDBusServiceWatcher watcher(applicationId(), m_bus,
                                      QDBusServiceWatcher::WatchForOwnerChange);
    connect(&watcher, &QDBusServiceWatcher::serviceOwnerChanged, &loop,
            [this, &loop](const QString&, const QString&, const QString& newOwner) {
                if (newOwner == m_bus.baseService()) {
                    loop.quit();
                }
            });
    QTimer::singleShot(handOverTimeout, &loop, &QEventLoop::quit);
    if (request(QDBusConnectionInterface::QueueService) == Claim::noBus) {
        return Claim::noBus;
    }
    if (!owns()) {
        loop.exec();
    }
    if (owns()) {
        return Claim::owned;
    }
    DebugLog::log(QStringLiteral("instance: the Framlet being replaced kept the name"));
    m_bus.interface()->unregisterService(applicationId());  // leaves the queue
    // It may have let go between the wait's end and leaving the queue.
    return request(QDBusConnectionInterface::DontQueueService);
}

bool InstanceService::owns() const {
    return m_bus.interface()->serviceOwner(applicationId()).value() == m_bus.baseService();
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

void InstanceService::CheckForUpdates() {
    Q_EMIT updateCheckRequested();
}

void InstanceService::ResetTour() {
    Q_EMIT tourResetRequested();
}

void InstanceService::ResetOnboarding() {
    Q_EMIT onboardingResetRequested();
}

QStringList InstanceService::Search(const QString& text) {
    bool stillRecognising = false;  // this older answer has no room for it
    QStringList paths;
    for (const QByteArray& path : SearchPaths(text, stillRecognising)) {
        paths.append(QFile::decodeName(path));
    }
    return paths;
}

QByteArrayList InstanceService::SearchPaths(const QString& text, bool& stillRecognising) {
    const Found found = m_search ? m_search(text) : Found{};
    stillRecognising = found.stillRecognising;
    return found.paths;
}

}  // namespace framlet
