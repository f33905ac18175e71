#pragma once

#include <QString>

namespace framlet {

// Starting the program anew, for a relaunch after it was replaced by an update.
namespace Relaunch {

// Starts the program as a process of its own that outlives this one; false when it could not
// be started.
bool start(const QString& program);

}  // namespace Relaunch
}  // namespace framlet
