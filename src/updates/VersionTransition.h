#pragma once

#include <QString>

namespace framlet {

class Settings;

// Records which version ran last, and logs a first run or a change of version.
namespace VersionTransition {

// `version` is the running version, empty when the build has none ("unknown" is recorded).
void reconcileIfNeeded(Settings& settings, const QString& version);

}  // namespace VersionTransition
}  // namespace framlet
