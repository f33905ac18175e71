#include "app/AppDelegate.h"

#include <QCoreApplication>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include "app/CaptureLantern.h"
#include "app/StatusItem.h"
#include "library/OCRService.h"
#include "library/Screenshot.h"
#include "library/ScreenshotStore.h"
#include "library/ScreenshotWatcher.h"
#include "library/TimerSource.h"
#include "library/ToolSettingsMonitor.h"
#include "platform/DebugLog.h"
#include "platform/ScreenshotPreferences.h"
#include "platform/X11.h"
#include "platform/widgets/SystemTray.h"
#include "settings/Settings.h"
#include "settings/ThemePalette.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/PanelController.h"
#include "shelf/PanelView.h"
#include "shelf/SelectionModel.h"
#include "shelf/ShelfActions.h"
#include "shelf/ShelfServices.h"
#include "shortcut/HotKey.h"
#include "shortcut/HotKeyStatus.h"

namespace framlet {
namespace {

// A tool saves the capture, then records the folder it was saved in: a file that reached the
// newly followed folder this shortly before the change was just captured.
constexpr qint64 kCaptureBeforeSettingMs = 5000;

}  // namespace

AppDelegate::AppDelegate(Settings& settings, ColorScheme& colorScheme, KeyGrabber& keyGrabber,
                         TimerSource& timers, OCRService& ocr, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_keyGrabber(keyGrabber)
    , m_timers(timers)
    , m_theme(std::make_unique<ThemePalette>(settings, colorScheme))
    , m_store(std::make_unique<ScreenshotStore>(settings, ScreenshotStore::recognizerFor(ocr),
                                                timers, m_thumbnailPool))
    , m_selectionModel(std::make_unique<SelectionModel>())
    , m_lantern(std::make_unique<CaptureLantern>(settings, timers))
    , m_preview(std::make_unique<ImagePreviewController>(*m_theme)) {
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    DebugLog::system(QStringLiteral("Framlet: launched, setting up status item"));
    // Linux does not throttle background processes, so there is no activity to begin; the
    // taskbar presence, the updater and onboarding join this sequence with the windows that need
    // them.
    setupStatusItem();
    setupPanel();
    setupWatcher();
    setupToolSettingsMonitor();
    setupHotKey();
    connect(&m_settings, &Settings::watchedFolderChanged, this, &AppDelegate::watchedFolderChanged);
    connect(&m_settings, &Settings::hotKeyChanged, this, &AppDelegate::setupHotKey);
    scheduleRequestedUpdateCheck();

    if (!m_statusItem->isAvailable()) {
        // Without a tray nobody could reach the shelf: show it instead of an invisible program.
        DebugLog::log(QStringLiteral("tray: no system tray on this desktop — showing the shelf"));
        toggleShelf();
    }
}

void AppDelegate::setupStatusItem() {
    const SystemTray::Choice tray = SystemTray::choose(SystemTray::probe());
    if (tray.kind != SystemTray::Kind::none) {
        DebugLog::log(QStringLiteral("tray: ") + tray.reason);
    }
    m_statusItem = std::make_unique<StatusItem>(tray.kind);
    QPointer<AppDelegate> self(this);
    m_statusItem->fileURLProvider = [self]() -> std::optional<QUrl> {
        if (!self || self->m_store->count() == 0) {
            return std::nullopt;
        }
        return self->m_store->at(0)->url();
    };
    connect(m_statusItem.get(), &StatusItem::clicked, this, &AppDelegate::toggleShelf);
    connect(m_lantern.get(), &CaptureLantern::fillChanged, m_statusItem.get(),
            &StatusItem::setFill);
    m_lantern->setHasUnseen(false);  // draws the first icon
}

void AppDelegate::setupPanel() {
    QPointer<AppDelegate> self(this);
    m_panelController = std::make_unique<PanelController>([self]() -> QWidget* {
        if (!self) {
            return new QWidget;
        }
        // The settings window is not part of this build: the view leaves its button out.
        const ShelfServices services{ShelfActions::shared(), *self->m_preview, *self->m_theme};
        auto* view = new PanelView(*self->m_store, *self->m_selectionModel, self->m_settings,
                                   services, {}, [] { QCoreApplication::quit(); });
        view->setTranslucentCorners(X11::compositingManagerRunning());
        return view;
    });
    connect(m_panelController.get(), &PanelController::opened, this, &AppDelegate::onOpen);
    connect(m_panelController.get(), &PanelController::hidden, this, &AppDelegate::onHide);
}

void AppDelegate::setupWatcher() {
    m_watcher = std::make_unique<ScreenshotWatcher>(ScreenshotWatcher::resolvedFolders(m_settings),
                                                    m_timers);
    connect(m_watcher.get(), &ScreenshotWatcher::fileFound, this, &AppDelegate::onNew);
    connect(m_watcher.get(), &ScreenshotWatcher::filesRemoved, this, &AppDelegate::onRemove);
    connect(m_watcher.get(), &ScreenshotWatcher::filesChanged, m_store.get(),
            &ScreenshotStore::refresh);
    m_watcher->start(m_settings.historyLimit());
}

void AppDelegate::setupToolSettingsMonitor() {
    m_toolSettings =
        std::make_unique<ToolSettingsMonitor>(ScreenshotPreferences().settingsFiles(), m_timers);
    connect(m_toolSettings.get(), &ToolSettingsMonitor::changed, this,
            &AppDelegate::toolSettingsChanged);
    if (!m_toolSettings->start()) {
        DebugLog::log(QStringLiteral(
            "watcher: cannot watch the screenshot tool's settings; following them when the "
            "shelf opens"));
    }
}

void AppDelegate::setupHotKey() {
    m_hotKey
        .reset();  // the old grab goes first: re-registering the same keys would find them taken
    QPointer<AppDelegate> self(this);
    try {
        m_hotKey = std::make_unique<HotKey>(
            m_settings.hotKeyBinding(),
            [self] {
                if (self) {
                    self->toggleShelf();
                }
            },
            m_keyGrabber);
        HotKeyStatus::shared().setErrorMessage(std::nullopt);
        DebugLog::log(QStringLiteral("hotkey: registered"));
    } catch (const HotKey::RegistrationError& error) {
        HotKeyStatus::shared().setErrorMessage(error.userMessage());
        DebugLog::log(QStringLiteral("hotkey: FAILED — ") + error.userMessage());
    } catch (const std::exception& error) {
        const QString description = QString::fromLocal8Bit(error.what());
        HotKeyStatus::shared().setErrorMessage(QStringLiteral("Couldn't register the shortcut: ") +
                                               description);
        DebugLog::log(QStringLiteral("hotkey: FAILED — ") + description);
    }
}

void AppDelegate::watchedFolderChanged() {
    rebuildWatcher(std::nullopt);
}

void AppDelegate::rebuildWatcher(std::optional<QDateTime> liveSince) {
    if (m_watcher) {
        m_watcher->stop();
    }
    m_store->clear();
    m_liveSince = liveSince;
    setupWatcher();
}

void AppDelegate::toolSettingsChanged() {
    // Folders the user listed win over the tool's; gsettings may be asked, so not here.
    if (!m_watcher || !m_settings.watchedFolders().isEmpty()) {
        return;
    }
    const QDateTime liveSince = QDateTime::currentDateTimeUtc().addMSecs(-kCaptureBeforeSettingMs);
    ScreenshotWatcher::resolveFoldersInBackground(
        m_settings, this, [this, liveSince](const QList<QUrl>& resolved) {
            if (m_watcher && m_settings.watchedFolders().isEmpty()) {
                followFolders(resolved, liveSince);
            }
        });
}

void AppDelegate::toggleShelf() {
    m_panelController->toggle(PanelAnchor{m_statusItem->iconGeometry(), m_statusItem->screen()});
}

void AppDelegate::onNew(const QUrl& url, const QDateTime& createdAt, bool isSeed) {
    // Files found at start-up, or found in a followed folder before the tool moved there, were
    // not just captured.
    const bool captured = !isSeed || (m_liveSince && createdAt >= *m_liveSince);
    m_store->add(url, createdAt,
                 captured ? Screenshot::Arrival::captured : Screenshot::Arrival::seeded);
    if (!captured) {
        return;
    }
    m_lantern->setHasUnseen(true);
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
    if (!m_watcher) {
        return;
    }
    // Opening must not wait for the screenshot tool's settings (gsettings is a child process).
    const QStringList configured = m_settings.watchedFolders();
    ScreenshotWatcher::resolveFoldersInBackground(
        m_settings, this, [this, configured](const QList<QUrl>& resolved) {
            // A change of the configured folders meanwhile has rebuilt the watcher already.
            if (m_watcher && m_settings.watchedFolders() == configured) {
                followFolders(resolved);
            }
        });
}

void AppDelegate::followFolders(const QList<QUrl>& resolved, std::optional<QDateTime> liveSince) {
    const QSet<QUrl> now(resolved.cbegin(), resolved.cend());
    const QList<QUrl> watched = m_watcher->folders();
    if (QSet<QUrl>(watched.cbegin(), watched.cend()) == now) {
        m_watcher->rescan();
    } else {
        rebuildWatcher(liveSince);  // the screenshot location moved
    }
}

void AppDelegate::onHide() {
    m_selectionModel->clear();
    // The preview stays on top of every workspace: it must not outlive the shelf it came from.
    m_preview->close();
}

void AppDelegate::scheduleRequestedUpdateCheck() {
    if (!qEnvironmentVariableIsSet("FRAMLET_UPDATE_CHECK")) {
        return;
    }
    // There is no updater in this build yet: the request is logged and goes no further.
    QTimer::singleShot(2000, this, [] {
        DebugLog::log(QStringLiteral("updater: --update-check → background check"));
    });
}

}  // namespace framlet
