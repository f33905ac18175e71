#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QUrl>
#include <memory>

namespace framlet {

class CaptureLantern;
class HotKey;
class PanelController;
class ScreenshotStore;
class ScreenshotWatcher;
class SelectionModel;
class Settings;
class StatusItem;
class TimerSource;
class UserDefaults;

// Owns and connects every long-lived part of the running application: the tray item, the shelf
// panel, the screenshot store and selection, and the folder watcher. Created by main before the
// event loop starts and kept for the whole run.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    AppDelegate(Settings& settings, UserDefaults& defaults, TimerSource& timers,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence, run once the event loop is up.
    void applicationDidFinishLaunching();

    // Stops the current watcher, empties the shelf and watches the now-resolved folders afresh.
    void watchedFolderChanged();
    // What a click on the tray icon does: show the shelf under it, or hide it.
    void toggleShelf();

    ScreenshotStore& store() const { return *m_store; }
    SelectionModel& selectionModel() const { return *m_selectionModel; }
    CaptureLantern& lantern() const { return *m_lantern; }
    StatusItem* statusItem() const { return m_statusItem.get(); }
    PanelController* panelController() const { return m_panelController.get(); }
    ScreenshotWatcher* watcher() const { return m_watcher.get(); }
    HotKey* hotKey() const { return m_hotKey.get(); }

private:
    void setupStatusItem();
    void setupPanel();
    void setupWatcher();
    void setupHotKey();
    void scheduleRequestedUpdateCheck();

    void onNew(const QUrl& url, const QDateTime& createdAt, bool isSeed);
    void onRemove(const QList<QUrl>& urls);
    void onOpen();
    // Rescans the watched folders, or watches these instead when they differ.
    void followFolders(const QList<QUrl>& resolved);
    void onHide();

    Settings& m_settings;
    UserDefaults& m_defaults;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<PanelController> m_panelController;
    std::unique_ptr<ScreenshotStore> m_store;
    std::unique_ptr<SelectionModel> m_selectionModel;
    std::unique_ptr<ScreenshotWatcher> m_watcher;
    std::unique_ptr<HotKey> m_hotKey;
    std::unique_ptr<CaptureLantern> m_lantern;
};

}  // namespace framlet
