#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/AppServices.h"
#include "app/PendingRecognitions.h"
#include "library/store/Screenshot.h"
#include "platform/LoginItem.h"

namespace framlet {

class CaptureLantern;
class ColorScheme;
class FeatureTourModel;
class FolderChooser;
class ImagePreviewController;
class InstanceService;
class KeyGrabber;
class OnboardingController;
class ThemePalette;
class HotKey;
class PanelController;
class ScreenshotStore;
class ScreenshotSources;
class SelectionModel;
class Settings;
class SettingsWindow;
class StatusItem;
class TaskbarPresence;
class TimerSource;
class TrayWords;
class OCRService;
class OlderScreenshotReader;
class OlderMatches;
class OlderScreenshots;
class UpdateInstaller;
class Updater;
class UpdateWindow;
struct AppcastItem;

// Owns and connects every long-lived part of the running application: the tray item, the shelf
// panel, the screenshot store and selection, the screenshot sources, the settings window,
// onboarding and the feature tour, and the updater's window. Created by main before the event loop
// starts and kept for the whole run.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(const AppServices& services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence, run once the event loop is up.
    void applicationDidFinishLaunching();

    // What a click on the tray icon does: show the shelf under it, or hide it.
    void toggleShelf();
    void showShelf();
    void hideShelf();
    // The paths of the shelf's screenshots whose file name or recognised text holds the text,
    // by the shelf's own filter rule, newest first, then those of the older screenshots.
    QStringList search(const QString& text) const;
    // Whether the shelf is still being read: folders not listed yet, or text not recognised yet.
    bool stillRecognising() const;
    // Takes the commands of later launches; those that come before the start-up sequence has
    // run wait for it.
    void serve(InstanceService& service);

    ScreenshotStore& store() const { return *m_store; }
    SelectionModel& selectionModel() const { return *m_selectionModel; }
    CaptureLantern& lantern() const { return *m_lantern; }
    TrayWords& trayWords() const { return *m_trayWords; }
    ImagePreviewController& preview() const { return *m_preview; }
    StatusItem* statusItem() const { return m_statusItem.get(); }
    PanelController* panelController() const { return m_panelController.get(); }
    ScreenshotSources& sources() const { return *m_sources; }
    OlderScreenshots& older() const { return *m_older; }
    HotKey* hotKey() const { return m_hotKey.get(); }
    UpdateWindow* updateWindow() const { return m_updateWindow.get(); }
    // Shared with every window that asks for a folder or joins the taskbar.
    TaskbarPresence& taskbar() const { return *m_taskbar; }
    FolderChooser& folderChooser() const { return *m_folderChooser; }
    // Null until settings are first opened.
    SettingsWindow* settingsWindow() const { return m_settingsWindow.get(); }

public Q_SLOTS:
    // Hides the shelf and shows the settings window, made on first use and kept afterwards.
    void openSettings();
    // Gives the settings window the theme's palette.
    void applyAppearance();
    // Makes the windows taskbar windows or tool windows, as the setting now says.
    void dockIconChanged();
    OnboardingController& onboarding() const { return *m_onboarding; }
    FeatureTourModel& featureTour() const { return *m_featureTour; }

private:
    void setupStatusItem();
    void setupPanel();
    void setupSources();
    void setupHotKey();
    void setupUpdater();
    void setupOnboarding();
    std::unique_ptr<OnboardingController> makeOnboarding();
    void scheduleRequestedUpdateCheck();
    void checkForUpdatesInBackground();
    // A later launch's --reset-tour and --reset-onboarding, done through the settings this
    // process holds; onboarding shows again at once.
    void resetTour();
    void resetOnboarding();
    void whenLaunched(std::function<void()> request);
    void hotKeyRefused(std::int32_t status);
    void showUpdate(const AppcastItem& item);

    void onNew(const QUrl& url, const QDateTime& createdAt, Screenshot::Arrival arrival);
    void onRemove(const QList<QUrl>& urls);
    void onOpen();
    void onHide();

    // Models first: they outlive the windows and watchers below, which hold references to them.
    AppServices m_services;
    Settings& m_settings;
    std::unique_ptr<ThemePalette> m_theme;
    std::unique_ptr<TaskbarPresence> m_taskbar;
    LoginItem m_loginItem;
    QThreadPool m_thumbnailPool;         // before the store, which queues work on it
    PendingRecognitions m_recognitions;  // before the store, which counts its work there
    std::unique_ptr<ScreenshotStore> m_store;
    std::unique_ptr<ScreenshotStore> m_olderStore;  // the older matches the shelf shows
    std::unique_ptr<OlderMatches> m_olderMatches;   // searches through m_older, made later
    std::unique_ptr<SelectionModel> m_selectionModel;
    std::unique_ptr<CaptureLantern> m_lantern;
    std::unique_ptr<TrayWords> m_trayWords;
    std::unique_ptr<ImagePreviewController> m_preview;
    std::unique_ptr<FolderChooser> m_folderChooser;
    std::unique_ptr<FeatureTourModel> m_featureTour;
    std::unique_ptr<OnboardingController> m_onboarding;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<PanelController> m_panelController;
    std::unique_ptr<ScreenshotSources> m_sources;
    std::unique_ptr<OlderScreenshotReader> m_olderReader;
    std::unique_ptr<OlderScreenshots> m_older;
    std::unique_ptr<HotKey> m_hotKey;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    bool m_launched = false;
    QList<std::function<void()>> m_waitingRequests;  // commands that came before the start-up
    std::unique_ptr<UpdateInstaller> m_updateInstaller;
    std::unique_ptr<UpdateWindow> m_updateWindow;
};

}  // namespace framlet
