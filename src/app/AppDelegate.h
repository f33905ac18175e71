#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>
#include <memory>
#include <optional>

namespace framlet {

class CaptureLantern;
class ColorScheme;
class ImagePreviewController;
class KeyGrabber;
class ThemePalette;
class HotKey;
class PanelController;
class ScreenshotStore;
class ScreenshotWatcher;
class SelectionModel;
class Settings;
class StatusItem;
class TimerSource;
class OCRService;
class ToolSettingsMonitor;

// Owns and connects every long-lived part of the running application: the tray item, the shelf
// panel, the screenshot store and selection, and the folder watcher. Created by main before the
// event loop starts and kept for the whole run.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    AppDelegate(Settings& settings, ColorScheme& colorScheme, KeyGrabber& keyGrabber,
                TimerSource& timers, OCRService& ocr, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence, run once the event loop is up.
    void applicationDidFinishLaunching();

    // Stops the current watcher, empties the shelf and watches the now-resolved folders afresh.
    void watchedFolderChanged();
    // Follows the screenshot tool to the folder its settings now name, looked up off the main
    // thread. Files that landed there shortly before count as captures, not as old files.
    void toolSettingsChanged();
    // What a click on the tray icon does: show the shelf under it, or hide it.
    void toggleShelf();

    ScreenshotStore& store() const { return *m_store; }
    SelectionModel& selectionModel() const { return *m_selectionModel; }
    CaptureLantern& lantern() const { return *m_lantern; }
    ImagePreviewController& preview() const { return *m_preview; }
    StatusItem* statusItem() const { return m_statusItem.get(); }
    PanelController* panelController() const { return m_panelController.get(); }
    ScreenshotWatcher* watcher() const { return m_watcher.get(); }
    HotKey* hotKey() const { return m_hotKey.get(); }

private:
    void setupStatusItem();
    void setupPanel();
    void setupWatcher();
    void setupToolSettingsMonitor();
    void setupHotKey();
    void scheduleRequestedUpdateCheck();

    void onNew(const QUrl& url, const QDateTime& createdAt, bool isSeed);
    void onRemove(const QList<QUrl>& urls);
    void onOpen();
    // Rescans the watched folders, or watches these instead when they differ; then files
    // created since `liveSince` are reported as captures even by the new watcher's seeding.
    void followFolders(const QList<QUrl>& resolved,
                       std::optional<QDateTime> liveSince = std::nullopt);
    void rebuildWatcher(std::optional<QDateTime> liveSince);
    void onHide();

    // Models first: they outlive the windows and watchers below, which hold references to them.
    Settings& m_settings;
    KeyGrabber& m_keyGrabber;
    TimerSource& m_timers;
    std::unique_ptr<ThemePalette> m_theme;
    QThreadPool m_thumbnailPool;  // before the store, which queues work on it
    std::unique_ptr<ScreenshotStore> m_store;
    std::unique_ptr<SelectionModel> m_selectionModel;
    std::unique_ptr<CaptureLantern> m_lantern;
    std::unique_ptr<ImagePreviewController> m_preview;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<PanelController> m_panelController;
    std::unique_ptr<ScreenshotWatcher> m_watcher;
    std::optional<QDateTime> m_liveSince;  // seeds created since then are captures
    std::unique_ptr<ToolSettingsMonitor> m_toolSettings;
    std::unique_ptr<HotKey> m_hotKey;
};

}  // namespace framlet
