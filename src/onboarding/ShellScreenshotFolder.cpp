#include "onboarding/ShellScreenshotFolder.h"

#include <QDir>
#include <QFileInfo>

#include "platform/DebugLog.h"
#include "platform/FolderThreads.h"
#include "platform/ScreenshotPreferences.h"

namespace framlet::ShellScreenshotFolder {

bool createIfAwaited(const QUrl& folder, const ScreenshotPreferences& preferences) {
    const std::optional<ScreenshotPreferences::Choice> choice = preferences.choice();
    if (!folder.isLocalFile() || !choice || choice->tool != u"gnome-shell") {
        return false;
    }
    const QString path = QDir::cleanPath(folder.toLocalFile());
    if (QDir::cleanPath(choice->folder) != path || QFileInfo::exists(path)) {
        return false;
    }
    const QString parent = QFileInfo(path).path();
    if (FolderAccess::probe(QUrl::fromLocalFile(parent)) != FolderAccess::Status::granted ||
        !QDir().mkdir(path)) {
        return false;
    }
    DebugLog::log(
        QStringLiteral("onboarding: created %1, where GNOME's Shell will save screenshots")
            .arg(DebugLog::escaped(path)));
    return true;
}

QFuture<FolderAccess::Status> probeOffMain(const QUrl& folder) {
    return FolderThreads::future<FolderAccess::Status>(folder.toLocalFile(), [folder] {
        createIfAwaited(folder, ScreenshotPreferences());
        return FolderAccess::probe(folder);
    });
}

}  // namespace framlet::ShellScreenshotFolder
