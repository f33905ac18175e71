#include "library/watcher/ScreenshotSources.h"

#include <QRegularExpression>
#include <QSet>

#include "library/watcher/ScreenshotLocation.h"
#include "library/watcher/ScreenshotWatcher.h"
#include "library/watcher/ToolSettingsMonitor.h"
#include "platform/DebugLog.h"
#include "platform/ScreenshotPreferences.h"
#include "preferences/Settings.h"

namespace framlet {
namespace {

// A tool saves the capture, then records the folder it was saved in: a file that reached the
// newly followed folder this shortly before the change was just captured.
constexpr qint64 kCaptureBeforeSettingMs = 5000;

// Lists each folder, keeping in a shared one only the files named as screenshots there.
ScreenshotWatcher::ListFunction onlyNamed(const QHash<QUrl, QString>& patterns) {
    QHash<QUrl, QRegularExpression> names;
    for (auto it = patterns.cbegin(); it != patterns.cend(); ++it) {
        names.insert(it.key(), QRegularExpression(it.value()));
    }
    return [names](const QUrl& folder) {
        FolderListing::Result result = FolderListing::list(folder.toLocalFile());
        if (const auto found = names.constFind(folder); found != names.cend()) {
            result.files.removeIf([&](const ListedFile& file) {
                return !found->match(file.url.fileName()).hasMatch();
            });
        }
        return result;
    };
}

}  // namespace

ScreenshotSources::ScreenshotSources(Settings& settings, TimerSource& timers, QObject* parent)
    : QObject(parent), m_settings(settings), m_timers(timers) {
}

ScreenshotSources::~ScreenshotSources() = default;

void ScreenshotSources::start() {
    watchAfresh();
    startToolSettingsMonitor();
    connect(&m_settings, &Settings::watchedFolderChanged, this, &ScreenshotSources::watchAfresh);
}

QList<QUrl> ScreenshotSources::folders() const {
    return m_watcher ? m_watcher->folders() : QList<QUrl>();
}

bool ScreenshotSources::hasSeeded() const {
    return m_watcher && m_watcher->hasSeeded();
}

QHash<QUrl, FileStamp> ScreenshotSources::knownFiles() const {
    return m_watcher ? m_watcher->knownStamps() : QHash<QUrl, FileStamp>();
}

bool ScreenshotSources::listedAll() const {
    return m_watcher && m_watcher->listedAll();
}

void ScreenshotSources::startToolSettingsMonitor() {
    m_toolSettings =
        std::make_unique<ToolSettingsMonitor>(ScreenshotPreferences().settingsFiles(), m_timers);
    connect(m_toolSettings.get(), &ToolSettingsMonitor::changed, this,
            &ScreenshotSources::toolSettingsChanged);
    if (!m_toolSettings->start()) {
        DebugLog::log(QStringLiteral(
            "watcher: cannot watch the screenshot tool's settings; following them when the "
            "shelf opens"));
    }
}

void ScreenshotSources::watchAfresh() {
    if (!m_settings.watchedFolders().isEmpty()) {
        rebuild(ScreenshotLocation::resolvedWithNames(m_settings.watchedFolders()), std::nullopt);
        return;
    }
    // The screenshot location is found by looking at a folder that may be on a mount that never
    // answers: not on this thread.
    ScreenshotLocation::resolveFoldersInBackground(
        m_settings, this, [this](const ScreenshotLocation::Folders& resolved) {
            if (m_settings.watchedFolders().isEmpty()) {
                rebuild(resolved, std::nullopt);
            }
        });
}

void ScreenshotSources::toolSettingsChanged() {
    // Folders the user listed win over the tool's; gsettings may be asked, so not here.
    if (!m_watcher || !m_settings.watchedFolders().isEmpty()) {
        return;
    }
    const QDateTime liveSince = QDateTime::currentDateTimeUtc().addMSecs(-kCaptureBeforeSettingMs);
    ScreenshotLocation::resolveFoldersInBackground(
        m_settings, this, [this, liveSince](const ScreenshotLocation::Folders& resolved) {
            if (m_watcher && m_settings.watchedFolders().isEmpty()) {
                follow(resolved, liveSince);
            }
        });
}

void ScreenshotSources::lookAgain() {
    if (!m_watcher) {
        return;
    }
    // Must not wait for the screenshot tool's settings (gsettings is a child process).
    const QStringList configured = m_settings.watchedFolders();
    ScreenshotLocation::resolveFoldersInBackground(
        m_settings, this, [this, configured](const ScreenshotLocation::Folders& resolved) {
            // A change of the configured folders meanwhile has rebuilt the watcher already.
            if (m_watcher && m_settings.watchedFolders() == configured) {
                follow(resolved);
            }
        });
}

void ScreenshotSources::follow(const ScreenshotLocation::Folders& resolved,
                               std::optional<QDateTime> liveSince) {
    const QSet<QUrl> now(resolved.urls.cbegin(), resolved.urls.cend());
    const QList<QUrl> watched = m_watcher->folders();
    if (QSet<QUrl>(watched.cbegin(), watched.cend()) == now) {
        m_watcher->rescan();
    } else {
        rebuild(resolved, liveSince);  // the screenshot location moved
    }
}

void ScreenshotSources::rebuild(const ScreenshotLocation::Folders& folders,
                                std::optional<QDateTime> liveSince) {
    if (m_watcher) {
        m_watcher->stop();
    }
    Q_EMIT foldersReplaced();
    m_liveSince = liveSince;
    m_watcher = std::make_unique<ScreenshotWatcher>(folders.urls, m_timers);
    if (!folders.namePatterns.isEmpty()) {
        m_watcher->setListFunction(onlyNamed(folders.namePatterns));
    }
    connect(m_watcher.get(), &ScreenshotWatcher::fileFound, this, &ScreenshotSources::found);
    connect(m_watcher.get(), &ScreenshotWatcher::filesRemoved, this, &ScreenshotSources::removed);
    connect(m_watcher.get(), &ScreenshotWatcher::filesChanged, this, &ScreenshotSources::changed);
    connect(m_watcher.get(), &ScreenshotWatcher::listed, this, &ScreenshotSources::listed);
    m_watcher->start(m_settings.historyLimit());
}

void ScreenshotSources::found(const QUrl& url, const QDateTime& createdAt, bool isSeed) {
    // Files found at start-up, or found in a followed folder before the tool moved there, were
    // not just captured.
    const bool captured = !isSeed || (m_liveSince && createdAt >= *m_liveSince);
    Q_EMIT arrived(url, createdAt,
                   captured ? Screenshot::Arrival::captured : Screenshot::Arrival::seeded);
}

}  // namespace framlet
