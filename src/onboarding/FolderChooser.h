#pragma once

#include <QUrl>
#include <optional>

class QWidget;

namespace framlet {

// The folder chooser of onboarding: directories only, one at a time, no new folders, starting
// in the given folder, over the parent. Runs modally; none when cancelled.
namespace FolderChooser {

std::optional<QUrl> chooseScreenshotFolder(const QUrl& startIn, QWidget* parent);

}  // namespace FolderChooser
}  // namespace framlet
