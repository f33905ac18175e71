#pragma once

#include <QString>

namespace framlet {

// Starting the program anew, for a relaunch after it was replaced by an update.
namespace Relaunch {

// The option that tells the new program which process it replaces, followed by its id.
inline constexpr char replacingOption[] = "--replacing";

// Starts the program as a process of its own that outlives this one, told to wait for this
// process to give up the instance's bus name; false when it could not be started.
bool start(const QString& program);

}  // namespace Relaunch
}  // namespace framlet
