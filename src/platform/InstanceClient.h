#pragma once

#include <QDBusConnection>
#include <QString>
#include <optional>

#include "platform/InstanceService.h"

namespace framlet {

// Talks to the instance that owns the application id on the session bus (InstanceService).
class InstanceClient {
public:
    explicit InstanceClient(QDBusConnection bus);

    // Calls one of the service's commands without arguments ("Toggle", "Show", "Hide",
    // "OpenSettings", "CheckForUpdates", "ResetTour", "ResetOnboarding"); false when no
    // instance answered.
    bool call(const QString& method) const;
    // The matching paths, or no value when no instance answered. An instance from before
    // SearchPaths answers as text, and never says whether it is still recognising.
    std::optional<InstanceService::Found> search(const QString& text) const;

private:
    QDBusConnection m_bus;
};

}  // namespace framlet
