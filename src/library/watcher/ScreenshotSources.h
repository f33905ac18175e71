#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>
#include <memory>
#include <optional>

#include "library/decoding/FileStamp.h"
#include "library/store/Screenshot.h"
#include "library/watcher/ScreenshotLocation.h"
#include "platform/TimerSource.h"

namespace framlet {

class ScreenshotWatcher;
class Settings;
class ToolSettingsMonitor;

// Where screenshots come from: the folders the user listed or, without any, the folder the
// desktop's screenshot tool saves into, followed as the tool's settings change. Owns the watcher
// of those folders, rebuilds it when they change, and tells a file just captured from one that
// was there before. The screenshot location is looked up off the main thread: finding it may run
// a program, and looking at a folder may never end.
class ScreenshotSources : public QObject {
    Q_OBJECT

public:
    ScreenshotSources(Settings& settings, TimerSource& timers, QObject* parent = nullptr);
    ~ScreenshotSources() override;

    // Watches the folders and follows the user's folders and the tool's settings from now on.
    // Called once.
    void start();
    // Stops the current watcher and watches the now-resolved folders afresh.
    void watchAfresh();
    // Lists the folders again, or follows the screenshot location where it moved; returns at
    // once.
    void lookAgain();

    // The folders watched; empty until the first are resolved.
    QList<QUrl> folders() const;
    // Whether the watched folders have been listed once.
    bool hasSeeded() const;
    // Every file of the watched folders as last listed; empty before the first listing.
    QHash<QUrl, FileStamp> knownFiles() const;
    // Whether the last listings covered every folder (none stalled): only then are files
    // missing from them gone.
    bool listedAll() const;

Q_SIGNALS:
    // A file to show: one just captured, or one that was there before.
    void arrived(const QUrl& url, const QDateTime& createdAt, Screenshot::Arrival arrival);
    void removed(const QList<QUrl>& urls);
    // Known files whose contents changed.
    void changed(const QList<QUrl>& urls);
    // Other folders are watched from now on: nothing reported before is watched any more.
    void foldersReplaced();
    // A listing was applied: knownFiles() is as the folders are now.
    void listed();

private:
    void startToolSettingsMonitor();
    void toolSettingsChanged();
    void found(const QUrl& url, const QDateTime& createdAt, bool isSeed);
    // Rescans the watched folders, or watches these instead when they differ; then files
    // created since `liveSince` are reported as captures even by the new watcher's seeding.
    void follow(const ScreenshotLocation::Folders& resolved,
                std::optional<QDateTime> liveSince = std::nullopt);
    void rebuild(const ScreenshotLocation::Folders& folders, std::optional<QDateTime> liveSince);

    Settings& m_settings;
    TimerSource& m_timers;
    std::unique_ptr<ScreenshotWatcher> m_watcher;
    std::optional<QDateTime> m_liveSince;  // seeds created since then are captures
    std::unique_ptr<ToolSettingsMonitor> m_toolSettings;
};

}  // namespace framlet
