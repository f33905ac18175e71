#include "app/AppDelegate.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <utility>

#include "app/CaptureLantern.h"
#include "app/OlderScreenshots.h"
#include "app/StatusItem.h"
#include "app/TrayWords.h"
#include "library/ocr/OCRService.h"
#include "library/ocr/OlderScreenshotReader.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "library/watcher/ScreenshotLocation.h"
#include "library/watcher/ScreenshotSources.h"
#include "onboarding/FeatureTourModel.h"
#include "onboarding/FeatureTourOverlay.h"
#include "onboarding/OnboardingController.h"
#include "onboarding/OnboardingWindow.h"
#include "onboarding/ShellScreenshotFolder.h"
#include "platform/DebugLog.h"
#include "platform/FileManager.h"
#include "platform/InstanceService.h"
#include "platform/KeyGrabber.h"
#include "platform/MotionPreference.h"
#include "platform/Relaunch.h"
#include "platform/ScreenshotPreferences.h"
#include "platform/TimerSource.h"
#include "platform/X11.h"
#include "platform/widgets/FolderChooser.h"
#include "platform/widgets/SystemTray.h"
#include "platform/widgets/TaskbarPresence.h"
#include "preferences/Settings.h"
#include "settings/SettingsServices.h"
#include "settings/SettingsWindow.h"
#include "settings/ThemePalette.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/OlderMatches.h"
#include "shelf/PanelController.h"
#include "shelf/PanelView.h"
#include "shelf/SelectionModel.h"
#include "shelf/ShelfActions.h"
#include "shelf/ShelfFilter.h"
#include "shelf/ShelfServices.h"
#include "shelf/ThumbnailDelegate.h"
#include "shortcut/HotKey.h"
#include "shortcut/HotKeyStatus.h"
#include "updates/UpdateInstaller.h"
#include "updates/Updater.h"
#include "updates/VersionTransition.h"
#include "updates/widgets/UpdateRows.h"
#include "updates/widgets/UpdateWindow.h"

namespace framlet {
namespace {

// The device pixels of the longest side of a shelf cell (at most the panel's width over the
// columns) on the sharpest screen: what a thumbnail must cover to look sharp.
int cellPixels(int columns) {
    const int side =
        std::max(PanelView::panelWidth / std::max(columns, 1), ThumbnailDelegate::thumbnailHeight);
    return int(std::ceil(side * qApp->devicePixelRatio()));
}

// An update download that makes no progress for this long is given up.
constexpr std::chrono::seconds kDownloadTimeout{60};
// A search from the command line lists the older screenshots it finds up to this many.
constexpr int kMostOlderFound = 10000;

// The AppImage the program runs from, as its runtime names it: only an existing file counts.
QString runningAppImage() {
    const QFileInfo appImage(qEnvironmentVariable("APPIMAGE"));
    return appImage.isAbsolute() && appImage.isFile() ? appImage.absoluteFilePath() : QString();
}

UpdateInstaller::Places updatePlaces() {
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return {QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                QStringLiteral("/updates"),
            downloads.isEmpty() ? QDir::homePath() : downloads, runningAppImage()};
}

// Onboarding waits for its folder. A chooser of its own keeps a choice made in the settings window
// from abandoning this one.
std::optional<QUrl> chooseScreenshotFolder(const QUrl& startIn, QWidget* over) {
    FolderChooser chooser;
    chooser.setStartFolder(startIn.toLocalFile());
    std::optional<QUrl> chosen;
    bool answered = false;
    QEventLoop loop;
    chooser.choose(over, QStringLiteral("Choose the folder where your screenshots are saved."),
                   QStringLiteral("Grant Access"), [&](const std::optional<QString>& folder) {
                       if (folder) {
                           chosen = QUrl::fromLocalFile(*folder);
                       }
                       answered = true;
                       loop.quit();
                   });
    if (!answered) {
        loop.exec();
    }
    return chosen;
}

}  // namespace

AppDelegate::AppDelegate(const AppServices& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_settings(services.settings)
    , m_theme(std::make_unique<ThemePalette>(m_settings, services.colorScheme))
    , m_taskbar(std::make_unique<TaskbarPresence>(m_settings.showDockIcon()))
    , m_store(std::make_unique<ScreenshotStore>(
          m_recognitions.counting(ScreenshotStore::recognizerFor(services.ocr)),
          services.decodeBudget, services.timers, m_thumbnailPool, &services.sharedThumbnails))
    // Their text is in the cache already: the section only needs their thumbnails.
    , m_olderStore(std::make_unique<ScreenshotStore>([](OCRService::Job, OCRService::Completion) {},
                                                     services.decodeBudget, services.timers,
                                                     m_thumbnailPool, &services.sharedThumbnails))
    , m_olderMatches(std::make_unique<OlderMatches>(
          *m_olderStore,
          [this](const QString& query, int limit) { return m_older->search(query, limit); }))
    , m_selectionModel(std::make_unique<SelectionModel>())
    , m_lantern(std::make_unique<CaptureLantern>(m_settings, services.timers))
    , m_trayWords(std::make_unique<TrayWords>())
    , m_preview(std::make_unique<ImagePreviewController>(*m_theme, services.decodeBudget,
                                                         m_taskbar.get()))
    , m_folderChooser(std::make_unique<FolderChooser>())
    , m_featureTour(std::make_unique<FeatureTourModel>(m_settings))
    , m_onboarding(makeOnboarding())
    , m_sources(std::make_unique<ScreenshotSources>(m_settings, services.timers))
    , m_olderReader(std::make_unique<OlderScreenshotReader>(
          services.textCache, services.decodeBudget, services.ocr.configuration().engine))
    , m_older(std::make_unique<OlderScreenshots>(*m_sources, *m_store, services.textCache,
                                                 *m_olderReader, services.ocr, services.power,
                                                 m_settings)) {
    m_store->setHistoryLimit(m_settings.historyLimit());
    connect(&m_settings, &Settings::historyLimitChanged, m_store.get(),
            [this] { m_store->setHistoryLimit(m_settings.historyLimit()); });
    m_store->setThumbnailPixels(cellPixels(m_settings.columns()));
    connect(&m_settings, &Settings::columnsChanged, m_store.get(),
            [this] { m_store->setThumbnailPixels(cellPixels(m_settings.columns())); });
    connect(&m_services.keyGrabber, &KeyGrabber::refused, this,
            [this](KeyGrabber::Handle, std::int32_t status) { hotKeyRefused(status); });
    connect(&m_services.keyGrabber, &KeyGrabber::bound, this,
            [this](KeyGrabber::Handle, const QString& description) {
                m_services.hotKeyStatus.setDesktopBinding(description);
            });
    connect(&m_services.keyGrabber, &KeyGrabber::routeChanged, this, &AppDelegate::setupHotKey);
    m_lantern->setReducedMotion(services.motion.reduced());
    connect(&services.motion, &MotionPreference::reducedChanged, m_lantern.get(),
            &CaptureLantern::setReducedMotion);
    connect(m_lantern.get(), &CaptureLantern::hasUnseenChanged, m_trayWords.get(),
            [this](bool lit) {
                if (!lit) {
                    m_trayWords->lanternEmptied();
                }
            });
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    DebugLog::system(QStringLiteral("Framlet: launched, setting up status item"));
    // Linux does not throttle background processes, so there is no activity to begin, and the
    // taskbar presence took the setting when it was made. Onboarding comes after the shelf and
    // the shortcut it points to.
    VersionTransition::reconcileIfNeeded(m_settings, QStringLiteral(FRAMLET_VERSION));
    setupUpdater();
    setupStatusItem();
    setupPanel();
    setupSources();
    setupHotKey();
    setupOnboarding();
    connect(&m_settings, &Settings::hotKeyChanged, this, &AppDelegate::setupHotKey);
    connect(&m_settings, &Settings::dockIconChanged, this, &AppDelegate::dockIconChanged);
    connect(&m_settings, &Settings::themeChanged, this, &AppDelegate::applyAppearance);
    scheduleRequestedUpdateCheck();

    if (!m_statusItem->isAvailable()) {
        // Without a tray nobody could reach the shelf: show it instead of an invisible program.
        DebugLog::log(QStringLiteral("tray: no system tray on this desktop — showing the shelf"));
        toggleShelf();
    }
    m_launched = true;
    for (const auto& request : std::exchange(m_waitingRequests, {})) {
        request();
    }
}

void AppDelegate::setupStatusItem() {
    const SystemTray::Choice tray = SystemTray::choose(SystemTray::probe());
    if (tray.kind != SystemTray::Kind::none) {
        DebugLog::log(QStringLiteral("tray: ") + tray.reason);
    }
    QPointer<AppDelegate> self(this);
    m_statusItem = std::make_unique<StatusItem>(tray.kind, m_services.decodeBudget,
                                                [self]() -> std::optional<QUrl> {
                                                    if (!self || self->m_store->count() == 0) {
                                                        return std::nullopt;
                                                    }
                                                    return self->m_store->at(0)->url();
                                                });
    connect(m_statusItem.get(), &StatusItem::clicked, this, &AppDelegate::toggleShelf);
    connect(m_lantern.get(), &CaptureLantern::fillChanged, m_statusItem.get(),
            &StatusItem::setFill);
    connect(m_trayWords.get(), &TrayWords::wordsChanged, m_statusItem.get(),
            [this](const QString& title, const QString& text) {
                m_statusItem->setToolTip(title, text);
            });
    m_statusItem->setToolTip(m_trayWords->title(), m_trayWords->text());
    m_lantern->setHasUnseen(false);  // draws the first icon
}

void AppDelegate::setupPanel() {
    QPointer<AppDelegate> self(this);
    m_panelController = std::make_unique<PanelController>([self]() -> QWidget* {
        if (!self) {
            return new QWidget;
        }
        const ShelfServices services{self->m_services.shelfActions, *self->m_preview,
                                     *self->m_theme, self->m_olderMatches.get()};
        auto* view =
            new PanelView(*self->m_store, *self->m_selectionModel, self->m_settings, services);
        connect(view, &PanelView::settingsRequested, self, &AppDelegate::openSettings);
        connect(view, &PanelView::quitRequested, qApp, &QCoreApplication::quit);
        connect(view, &PanelView::updateCheckRequested, &self->m_services.updater,
                &Updater::checkForUpdates);
        view->setTranslucentCorners(X11::compositingManagerRunning());
        view->setUpdateCheckOffered(self->m_services.updater.isAvailable());
        auto* tour = new FeatureTourOverlay(*self->m_featureTour, *view);
        MotionPreference& motion = self->m_services.motion;
        tour->setInstantSteps(motion.reduced());
        connect(&motion, &MotionPreference::reducedChanged, tour,
                &FeatureTourOverlay::setInstantSteps);
        return view;
    });
    connect(m_panelController.get(), &PanelController::opened, this, &AppDelegate::onOpen);
    connect(m_panelController.get(), &PanelController::hidden, this, &AppDelegate::onHide);
}

void AppDelegate::setupSources() {
    connect(m_sources.get(), &ScreenshotSources::arrived, this, &AppDelegate::onNew);
    connect(m_sources.get(), &ScreenshotSources::removed, this, &AppDelegate::onRemove);
    connect(m_sources.get(), &ScreenshotSources::changed, m_store.get(), &ScreenshotStore::refresh);
    connect(m_sources.get(), &ScreenshotSources::foldersReplaced, m_store.get(),
            &ScreenshotStore::clear);
    // Each opening of the shelf looks at the folders again.
    connect(m_panelController.get(), &PanelController::opened, m_sources.get(),
            &ScreenshotSources::lookAgain);
    m_sources->start();
}

void AppDelegate::setupHotKey() {
    m_hotKey
        .reset();  // the old grab goes first: re-registering the same keys would find them taken
    m_services.hotKeyStatus.setDesktopBinding(std::nullopt);
    QPointer<AppDelegate> self(this);
    try {
        m_hotKey = std::make_unique<HotKey>(
            m_settings.hotKeyBinding(),
            [self] {
                if (self) {
                    self->toggleShelf();
                }
            },
            m_services.keyGrabber);
        m_services.hotKeyStatus.setErrorMessage(std::nullopt);
        DebugLog::log(QStringLiteral("hotkey: registered"));
    } catch (const HotKey::RegistrationError& error) {
        m_services.hotKeyStatus.setErrorMessage(error.userMessage());
        DebugLog::log(QStringLiteral("hotkey: FAILED — ") + error.userMessage());
    } catch (const std::exception& error) {
        const QString description = QString::fromLocal8Bit(error.what());
        m_services.hotKeyStatus.setErrorMessage(QStringLiteral("Couldn't register the shortcut: ") +
                                                description);
        DebugLog::log(QStringLiteral("hotkey: FAILED — ") + description);
    }
}

void AppDelegate::hotKeyRefused(std::int32_t status) {
    // A desktop that answers later (the portal) has declined: no shortcut is active now.
    m_hotKey.reset();
    m_services.hotKeyStatus.setDesktopBinding(std::nullopt);
    const QString message = HotKey::RegistrationError::failed(status).userMessage();
    m_services.hotKeyStatus.setErrorMessage(message);
    DebugLog::log(QStringLiteral("hotkey: FAILED — ") + message);
}

void AppDelegate::setupOnboarding() {
    // The folder confirmed during onboarding is watched from then on.
    connect(m_onboarding.get(), &OnboardingController::finished, m_sources.get(),
            &ScreenshotSources::watchAfresh, Qt::UniqueConnection);
    if (!m_settings.hasCompletedOnboarding()) {
        m_onboarding->present(ScreenshotLocation::current());
    }
}

std::unique_ptr<OnboardingController> AppDelegate::makeOnboarding() {
    return std::make_unique<OnboardingController>(
        m_settings, *m_theme,
        OnboardingController::Services{
            &chooseScreenshotFolder, &ShellScreenshotFolder::probeOffMain,
            [this](const QUrl& folder) { m_services.fileManager.reveal({folder}); },
            [this](QWidget* window) { m_taskbar->add(window); }, &m_services.hotKeyStatus});
}

void AppDelegate::resetTour() {
    m_settings.resetFeatureTour();
    DebugLog::log(QStringLiteral("tour: reset by a later launch"));
}

void AppDelegate::resetOnboarding() {
    m_settings.resetOnboarding();
    DebugLog::log(QStringLiteral("onboarding: reset by a later launch"));
    m_featureTour->suspend();
    if (const OnboardingWindow* window = m_onboarding->window(); window && !window->isVisible()) {
        // A finished flow keeps its last screen; the user is welcomed from the start again.
        m_onboarding = makeOnboarding();
    }
    setupOnboarding();
}

void AppDelegate::toggleShelf() {
    m_panelController->toggle(PanelAnchor{m_statusItem->iconGeometry(), m_statusItem->screen()});
}

void AppDelegate::showShelf() {
    m_panelController->show(PanelAnchor{m_statusItem->iconGeometry(), m_statusItem->screen()});
}

void AppDelegate::hideShelf() {
    m_panelController->hide();
}

bool AppDelegate::stillRecognising() const {
    return !m_launched || !m_sources->hasSeeded() || m_recognitions.any();
}

QStringList AppDelegate::search(const QString& text) const {
    QStringList paths;
    for (const Screenshot* screenshot : m_store->items()) {
        if (ShelfFilter::matches(screenshot->url(), screenshot->ocrText(), std::nullopt, text)) {
            paths.append(screenshot->url().toLocalFile());
        }
    }
    for (const QUrl& older : m_older->search(text, kMostOlderFound)) {
        paths.append(older.toLocalFile());
    }
    return paths;
}

void AppDelegate::serve(InstanceService& service) {
    connect(&service, &InstanceService::toggleRequested, this,
            [this] { whenLaunched([this] { toggleShelf(); }); });
    connect(&service, &InstanceService::showRequested, this,
            [this] { whenLaunched([this] { showShelf(); }); });
    connect(&service, &InstanceService::hideRequested, this,
            [this] { whenLaunched([this] { hideShelf(); }); });
    connect(&service, &InstanceService::settingsRequested, this,
            [this] { whenLaunched([this] { openSettings(); }); });
    connect(&service, &InstanceService::updateCheckRequested, this,
            [this] { whenLaunched([this] { checkForUpdatesInBackground(); }); });
    connect(&service, &InstanceService::tourResetRequested, this,
            [this] { whenLaunched([this] { resetTour(); }); });
    connect(&service, &InstanceService::onboardingResetRequested, this,
            [this] { whenLaunched([this] { resetOnboarding(); }); });
}

void AppDelegate::whenLaunched(std::function<void()> request) {
    if (m_launched) {
        request();
    } else {
        m_waitingRequests.append(std::move(request));
    }
}

void AppDelegate::onNew(const QUrl& url, const QDateTime& createdAt, Screenshot::Arrival arrival) {
    m_store->add(url, createdAt, arrival);
    if (arrival != Screenshot::Arrival::captured) {
        return;
    }
    m_lantern->setHasUnseen(true);
    m_trayWords->captureArrived();
    m_lantern->animateCaptureFill();
    m_lantern->scheduleUnseenReset();
    if (!m_settings.hasCelebratedFirstCapture()) {
        m_store->setShowFirstCaptureCeremony(true);
    }
}

void AppDelegate::onRemove(const QList<QUrl>& urls) {
    const QSet<QUrl> gone(urls.cbegin(), urls.cend());
    SelectionModel::IdSet ids;
    for (const Screenshot* screenshot : m_store->items()) {
        if (gone.contains(screenshot->url())) {
            ids.insert(screenshot->id());
        }
    }
    m_store->remove(urls);
    m_selectionModel->subtract(ids);
}

void AppDelegate::onOpen() {
    m_lantern->setHasUnseen(false);
    if (m_settings.hasCompletedOnboarding()) {
        m_featureTour->beginIfNeeded();
    }
}

void AppDelegate::onHide() {
    m_selectionModel->clear();
    m_featureTour->suspend();
    // The preview stays on top of every workspace: it must not outlive the shelf it came from.
    m_preview->close();
}

void AppDelegate::openSettings() {
    m_panelController->hide();
    if (!m_settingsWindow) {
        // Owned by the tab they join.
        const auto addUpdateRows = [&updater = m_services.updater](QFormLayout& form) {
            new UpdateRows(updater, form);
        };
        const SettingsServices services{m_settings,
                                        *m_theme,
                                        *m_taskbar,
                                        m_loginItem,
                                        m_services.hotKeyStatus,
                                        *m_folderChooser,
                                        [] {
                                            const auto choice = ScreenshotPreferences().choice();
                                            return ScreenshotSource{
                                                ScreenshotLocation::current().toLocalFile(),
                                                choice ? choice->tool : QString()};
                                        },
                                        QCoreApplication::applicationVersion(),
                                        addUpdateRows,
                                        m_older.get()};
        m_settingsWindow = std::make_unique<SettingsWindow>(services);
    }
    applyAppearance();
    m_settingsWindow->present();
}

void AppDelegate::applyAppearance() {
    // The window follows later changes itself; this settles the palette it opens with.
    if (m_settingsWindow) {
        m_settingsWindow->setPalette(m_theme->palette());
    }
}

void AppDelegate::dockIconChanged() {
    m_taskbar->setShown(m_settings.showDockIcon());
    // Changing a window's type remaps it: give the keyboard back to the settings window.
    QTimer::singleShot(0, this, [this] {
        if (m_settingsWindow && m_settingsWindow->isVisible()) {
            m_settingsWindow->present();
        }
    });
}

void AppDelegate::setupUpdater() {
    connect(&m_services.updater, &Updater::updateWillShow, this, [this] {
        if (m_panelController) {
            m_panelController->hide();
        }
    });
    connect(&m_services.updater, &Updater::updateShown, this, &AppDelegate::showUpdate);
    m_services.updater.start();
}

void AppDelegate::scheduleRequestedUpdateCheck() {
    if (!qEnvironmentVariableIsSet("FRAMLET_UPDATE_CHECK")) {
        return;
    }
    QTimer::singleShot(2000, this, &AppDelegate::checkForUpdatesInBackground);
}

void AppDelegate::checkForUpdatesInBackground() {
    DebugLog::log(QStringLiteral("updater: --update-check → background check"));
    // Without a signing key there is no controller: the request goes no further.
    if (UpdateController* controller = m_services.updater.controller()) {
        controller->checkForUpdatesInBackground();
    }
}

void AppDelegate::showUpdate(const AppcastItem& item) {
    if (!m_updateWindow) {
        m_updateInstaller = m_services.updater.makeInstaller(updatePlaces(), m_services.fileManager,
                                                             kDownloadTimeout);
        m_updateWindow =
            std::make_unique<UpdateWindow>(*m_updateInstaller, m_services.updater.currentVersion());
        connect(m_updateWindow.get(), &UpdateWindow::skipped, this,
                [this](const AppcastItem& skipped) {
                    if (UpdateController* controller = m_services.updater.controller()) {
                        controller->skipVersion(skipped);
                    }
                });
        connect(m_updateWindow.get(), &UpdateWindow::relaunchRequested, this,
                [](const QString& program) {
                    if (Relaunch::start(program)) {
                        QCoreApplication::quit();
                    } else {
                        DebugLog::log(QStringLiteral("updater: could not relaunch ") + program);
                    }
                });
    }
    m_updateWindow->present(item);
    m_updateWindow->show();
    m_updateWindow->raise();
    m_updateWindow->activateWindow();
}

}  // namespace framlet
