#include "updates/VersionTransition.h"

#include "platform/DebugLog.h"
#include "preferences/Settings.h"

namespace framlet::VersionTransition {

void reconcileIfNeeded(Settings& settings, const QString& version) {
    const QString current = version.isEmpty() ? QStringLiteral("unknown") : version;
    const auto previous = settings.lastRunVersion();
    if (!previous) {
        DebugLog::log(QStringLiteral("version: first run recorded as ") + current);
    } else if (*previous != current) {
        DebugLog::log(QStringLiteral("version: ") + *previous + QStringLiteral(" → ") + current);
    }
    settings.setLastRunVersion(current);
}

}  // namespace framlet::VersionTransition
