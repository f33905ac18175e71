#pragma once

#include <QUrl>
#include <optional>

namespace framlet {

// The folder chooser of onboarding: directories only, one at a time, no new folders, starting
// in the given folder. Runs modally; none when cancelled.
namespace FolderChooser {

std::optional<QUrl> chooseScreenshotFolder(const QUrl& startIn);

}  // namespace FolderChooser
}  // namespace framlet
