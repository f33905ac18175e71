#pragma once

#include <QList>
#include <QObject>
#include <QUrl>
#include <functional>

namespace framlet {

class Settings;

// Which folders hold the screenshots: the ones the user listed, or else where the desktop's
// screenshot tool saves.
class ScreenshotLocation {
public:
    // The folders to watch now: the configured ones ("~" expanded) in their stored order, or the
    // screenshot location when none are configured. Whether they exist is not tested.
    static QList<QUrl> resolvedFolders(Settings& settings);
    // The same, looked up off the main thread: the screenshot location may take a child process
    // (gsettings) to learn, and a look at a folder that may not answer. `done` runs on the main
    // thread, and only while `context` lives.
    static void resolveFoldersInBackground(Settings& settings, QObject* context,
                                           std::function<void(const QList<QUrl>&)> done);
    // Where the desktop's screenshot tool saves, or the Desktop folder. Never fails.
    static QUrl current();
};

}  // namespace framlet
