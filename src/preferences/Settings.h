#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

#include "preferences/HotKeyBinding.h"

namespace framlet {

class UserDefaults;

// The user's preferences, and the only code that names their keys: each is declared once, with
// its fallback and load rule, in Settings.cpp. Every property loads once, and every assignment
// writes through to the defaults file at once. Main thread only.
//
// Four signals are the program's change notifications, emitted synchronously after the value is
// stored: watchedFolderChanged ("FramletWatchedFolderChanged"), themeChanged
// ("FramletThemeChanged"), dockIconChanged ("FramletDockIconChanged") and hotKeyChanged
// ("FramletHotKeyChanged"). They fire on every assignment, also of an unchanged value.
class Settings : public QObject {
    Q_OBJECT
    Q_PROPERTY(Theme theme READ theme WRITE setTheme NOTIFY themeChanged)
    Q_PROPERTY(int columns READ columns WRITE setColumns NOTIFY columnsChanged)
    Q_PROPERTY(double panelHeight READ panelHeight WRITE setPanelHeight NOTIFY panelHeightChanged)
    Q_PROPERTY(int historyLimit READ historyLimit WRITE setHistoryLimit NOTIFY historyLimitChanged)
    Q_PROPERTY(int unseenResetSeconds READ unseenResetSeconds WRITE setUnseenResetSeconds NOTIFY
                   unseenResetSecondsChanged)
    Q_PROPERTY(QStringList watchedFolders READ watchedFolders WRITE setWatchedFolders NOTIFY
                   watchedFolderChanged)
    Q_PROPERTY(bool showDockIcon READ showDockIcon WRITE setShowDockIcon NOTIFY dockIconChanged)

public:
    enum class Theme { system, light, dark };
    Q_ENUM(Theme)
    enum class Appearance { light, dark };

    static constexpr HotKeyBinding defaultHotKey{19, 768};  // Command-Shift-2

    // What the settings window offers; a hand-edited file is brought within these on load.
    template <typename T>
    struct Range {
        T lowest;
        T highest;
    };
    static constexpr Range<int> columnsRange{1, 6};
    static constexpr Range<double> panelHeightRange{240.0, 700.0};
    static constexpr Range<int> historyLimitRange{10, 200};
    // 0 means lit until the shelf opens; beyond a day is no choice the window offers.
    static constexpr Range<int> unseenResetSecondsRange{0, 24 * 60 * 60};

    // The one instance over the standard defaults file, created on first use.
    static Settings& shared();

    explicit Settings(UserDefaults& defaults, QObject* parent = nullptr);

    Theme theme() const { return m_theme; }
    void setTheme(Theme theme);
    // No value means: follow the desktop's colour scheme.
    std::optional<Appearance> appearance() const;
    static QString rawValue(Theme theme);

    int columns() const { return m_columns; }
    void setColumns(int columns);

    double panelHeight() const { return m_panelHeight; }
    void setPanelHeight(double height);

    int historyLimit() const { return m_historyLimit; }
    void setHistoryLimit(int limit);

    int unseenResetSeconds() const { return m_unseenResetSeconds; }
    void setUnseenResetSeconds(int seconds);

    QStringList watchedFolders() const { return m_watchedFolders; }
    void setWatchedFolders(const QStringList& folders);
    // Appends the path with a leading "~" expanded, unless that exact string is listed already.
    void addWatchedFolder(const QString& path);
    // Removes every entry equal to the path; stores and notifies even when none matched.
    void removeWatchedFolder(const QString& path);

    qint64 hotKeyCode() const { return m_hotKeyCode; }
    qint64 hotKeyModifiers() const { return m_hotKeyModifiers; }
    HotKeyBinding hotKeyBinding() const;
    void setHotKey(HotKeyBinding binding);

    bool showDockIcon() const { return m_showDockIcon; }
    void setShowDockIcon(bool show);

    // Whether screenshots beyond the history limit are read in the background and searched.
    bool searchOlderScreenshots() const { return m_searchOlderScreenshots; }
    void setSearchOlderScreenshots(bool search);

    // Whether the user has dismissed the first-capture banner.
    bool hasCelebratedFirstCapture() const;
    void setHasCelebratedFirstCapture(bool celebrated);
    bool hasCompletedOnboarding() const;
    void setHasCompletedOnboarding(bool completed);
    bool hasCompletedFeatureTour() const;
    void setHasCompletedFeatureTour(bool completed);
    // Forget that onboarding (and with it the tour) was completed, so they show again.
    void resetOnboarding();
    void resetFeatureTour();

    // The updater's records: automatic checks (off until the user turns them on), when the
    // feed was last read, the version the user chose to skip, and the version that ran last.
    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool checks);
    std::optional<QDateTime> lastUpdateCheckDate() const;
    void setLastUpdateCheckDate(const QDateTime& date);
    QString skippedUpdateVersion() const;
    void setSkippedUpdateVersion(const QString& version);
    std::optional<QString> lastRunVersion() const;
    void setLastRunVersion(const QString& version);

    // Why changes cannot be stored in the defaults file, for the settings window; empty while
    // they can. Changes that could not be stored still hold until quit.
    QString storageProblem() const { return m_storageProblem; }

    // Reads the defaults file again and notifies each preference that another process changed.
    void reload();
    // From now on reloads whenever the file changes. Needs the application's event loop, so the
    // application calls it once that exists.
    void followFileChanges();

Q_SIGNALS:
    void themeChanged();
    void columnsChanged();
    void panelHeightChanged();
    void historyLimitChanged();
    void unseenResetSecondsChanged();
    void watchedFolderChanged();
    void dockIconChanged();
    void searchOlderScreenshotsChanged();
    void hotKeyChanged();
    void storageProblemChanged();

private:
    void load();
    void storeWatchedFolders();
    template <typename K, typename V>
    void store(const K& key, const V& value);
    void noteStorageOutcome();
    void watchFile();

    UserDefaults& m_defaults;
    // Set by load(), from the key table whose fallbacks are the only defaults.
    Theme m_theme;
    int m_columns;
    double m_panelHeight;
    int m_historyLimit;
    int m_unseenResetSeconds;
    QStringList m_watchedFolders;
    qint64 m_hotKeyCode;
    qint64 m_hotKeyModifiers;
    bool m_showDockIcon;
    bool m_searchOlderScreenshots;
    QString m_storageProblem;
    std::unique_ptr<QFileSystemWatcher> m_fileWatcher;
};

}  // namespace framlet
