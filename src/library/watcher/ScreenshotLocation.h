#pragma once

#include <QHash>
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
    struct Folders {
        QList<QUrl> urls;
        // Folders shared with other files, where only names matching the pattern
        // (QRegularExpression) are screenshots.
        QHash<QUrl, QString> namePatterns;
    };

    // The folders to watch now: the configured ones ("~" expanded) in their stored order, or the
    // screenshot location when none are configured. Whether they exist is not tested.
    static QList<QUrl> resolvedFolders(Settings& settings);
    // The same, looked up off the main thread: the screenshot location may take a child process
    // (gsettings) to learn, and a look at a folder that may not answer. `done` runs on the main
    // thread, and only while `context` lives.
    static void resolveFoldersInBackground(Settings& settings, QObject* context,
                                           std::function<void(const Folders&)> done);
    // The folders to watch, with the names that count in shared ones: besides the tool's
    // folder, the one a second tool of the desktop saves into (GNOME Screenshot's).
    static Folders resolvedWithNames(const QStringList& configured);
    // Where the desktop's screenshot tool saves, or the Desktop folder. Never fails.
    static QUrl current();
};

}  // namespace framlet
