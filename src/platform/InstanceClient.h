#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <optional>

namespace framlet {

// Talks to the instance that owns the application id on the session bus (InstanceService).
class InstanceClient {
public:
    explicit InstanceClient(QDBusConnection bus);

    // Calls one of the service's commands without arguments ("Toggle", "Show", "Hide",
    // "OpenSettings"); false when no instance answered.
    bool call(const QString& method) const;
    // The matching paths, or no value when no instance answered.
    std::optional<QStringList> search(const QString& text) const;

private:
    QDBusConnection m_bus;
};

}  // namespace framlet
