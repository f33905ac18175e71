#pragma once

#include <QFuture>
#include <QUrl>

#include "library/watcher/FolderAccess.h"

namespace framlet {

class ScreenshotPreferences;

// GNOME's Shell makes its screenshot folder (~/Pictures/Screenshots, the name translated) only at
// its first capture. Until then a new user's detected folder does not exist, yet it is the right
// one: it is made here as the Shell would make it, so the access check finds it.
namespace ShellScreenshotFolder {

// Makes the folder when it is the Shell's, is not there yet and its parent can be read; says so
// in the log. True when it made it.
bool createIfAwaited(const QUrl& folder, const ScreenshotPreferences& preferences);

// createIfAwaited with the desktop's own preferences, then the access probe, both on the pool.
QFuture<FolderAccess::Status> probeOffMain(const QUrl& folder);

}  // namespace ShellScreenshotFolder
}  // namespace framlet
