#include "preferences/Settings.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/UserDefaults.h"

namespace framlet {
namespace {

using Theme = Settings::Theme;

// One preference: its name in the defaults file, the value that stands when nothing usable is
// stored, and its load rule, which turns what is stored into a value or rejects it.
template <typename T>
struct Key {
    const char* name;
    T fallback;
    std::optional<T> (*read)(const UserDefaults& defaults, const QString& name);
};

bool isInteger(const QVariant& value) {
    return value.typeId() == QMetaType::LongLong;
}

// A stored integer that does not fit an int is as unusable as a missing one.
int toInt(qint64 value) {
    const bool fits =
        value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
    return fits ? static_cast<int>(value) : 0;
}

// A hand-edited value is brought within what the settings window offers.
template <typename T>
std::optional<T> within(std::optional<T> value, Settings::Range<T> range) {
    return value ? std::optional(std::clamp(*value, range.lowest, range.highest)) : value;
}

// 0 (or what cannot be an int) counts as missing.
std::optional<int> nonZeroInt(const UserDefaults& defaults, const QString& name) {
    const int value = toInt(defaults.integer(name));
    return value == 0 ? std::nullopt : std::optional(value);
}

std::optional<double> nonZeroFiniteReal(const UserDefaults& defaults, const QString& name) {
    const double value = defaults.real(name);
    return value == 0.0 || !std::isfinite(value) ? std::nullopt : std::optional(value);
}

std::optional<int> columns(const UserDefaults& defaults, const QString& name) {
    return within(nonZeroInt(defaults, name), Settings::columnsRange);
}

std::optional<double> panelHeight(const UserDefaults& defaults, const QString& name) {
    return within(nonZeroFiniteReal(defaults, name), Settings::panelHeightRange);
}

std::optional<int> historyLimit(const UserDefaults& defaults, const QString& name) {
    return within(nonZeroInt(defaults, name), Settings::historyLimitRange);
}

// Only a value stored as an integer within the range counts, zero included.
std::optional<int> unseenResetSeconds(const UserDefaults& defaults, const QString& name) {
    const QVariant value = defaults.object(name);
    const auto range = Settings::unseenResetSecondsRange;
    const bool usable = isInteger(value) && value.toLongLong() >= range.lowest &&
                        value.toLongLong() <= range.highest;
    return usable ? std::optional(int(value.toLongLong())) : std::nullopt;
}

std::optional<qint64> storedInteger(const UserDefaults& defaults, const QString& name) {
    const QVariant value = defaults.object(name);
    return isInteger(value) ? std::optional(value.toLongLong()) : std::nullopt;
}

std::optional<bool> flag(const UserDefaults& defaults, const QString& name) {
    return defaults.boolean(name);
}

// Only a stored boolean counts, for flags whose fallback is on.
std::optional<bool> storedFlag(const UserDefaults& defaults, const QString& name) {
    const QVariant value = defaults.object(name);
    return value.typeId() == QMetaType::Bool ? std::optional(value.toBool()) : std::nullopt;
}

// Only a stored string counts.
std::optional<QString> text(const UserDefaults& defaults, const QString& name) {
    const QVariant value = defaults.object(name);
    return value.typeId() == QMetaType::QString ? std::optional(value.toString()) : std::nullopt;
}

std::optional<Theme> theme(const UserDefaults& defaults, const QString& name) {
    const QString stored = defaults.string(name);
    return stored == u"light" ? Theme::light : stored == u"dark" ? Theme::dark : Theme::system;
}

std::optional<QStringList> stringList(const QVariant& value) {
    if (value.typeId() != QMetaType::QVariantList) {
        return std::nullopt;
    }
    QStringList strings;
    for (const QVariant& element : value.toList()) {
        if (element.typeId() != QMetaType::QString) {
            return std::nullopt;
        }
        strings.append(element.toString());
    }
    return strings;
}

std::optional<QStringList> folders(const UserDefaults& defaults, const QString& name);

// Every preference, each declared once. A new one is a line here plus its accessors.
const Key<Theme> kTheme{"theme", Theme::system, theme};
const Key<int> kColumns{"columns", 3, columns};
const Key<double> kPanelHeight{"panelHeight", 420.0, panelHeight};
const Key<int> kHistoryLimit{"historyLimit", 60, historyLimit};
const Key<int> kUnseenResetSeconds{"unseenResetSeconds", 60, unseenResetSeconds};
const Key<QStringList> kWatchedFolders{"watchedFolders", {}, folders};
const Key<QString> kLegacyWatchedFolder{"watchedFolder", {}, nullptr};  // one folder, read only
const Key<qint64> kHotKeyCode{"hotKeyCode", Settings::defaultHotKey.keyCode, storedInteger};
const Key<qint64> kHotKeyModifiers{"hotKeyModifiers", Settings::defaultHotKey.modifiers,
                                   storedInteger};
const Key<bool> kShowDockIcon{"showDockIcon", false, flag};
const Key<bool> kSearchOlderScreenshots{"searchOlderScreenshots", true, storedFlag};
const Key<bool> kHasCelebratedFirstCapture{"hasCelebratedFirstCapture", false, flag};
const Key<bool> kHasCompletedOnboarding{"hasCompletedOnboarding", false, flag};
const Key<bool> kHasCompletedFeatureTour{"hasCompletedFeatureTour", false, flag};
const Key<bool> kAutomaticUpdateChecks{"automaticallyChecksForUpdates", false, flag};
const Key<QString> kLastUpdateCheckDate{"lastUpdateCheckDate", {}, text};  // ISO 8601, UTC
const Key<QString> kSkippedUpdateVersion{"skippedUpdateVersion", {}, text};
const Key<QString> kLastRunVersion{"lastRunVersion", {}, text};

template <typename T>
QString nameOf(const Key<T>& key) {
    return QString::fromLatin1(key.name);
}

std::optional<QStringList> folders(const UserDefaults& defaults, const QString& name) {
    if (const auto list = stringList(defaults.object(name))) {
        return list;
    }
    const QString legacy = defaults.string(nameOf(kLegacyWatchedFolder));
    return legacy.isEmpty() ? QStringList() : QStringList{legacy};
}

template <typename T>
T loaded(const UserDefaults& defaults, const Key<T>& key) {
    return key.read(defaults, nameOf(key)).value_or(key.fallback);
}

QVariant stored(int value) {
    return qint64{value};
}
QVariant stored(qint64 value) {
    return value;
}
QVariant stored(double value) {
    return value;
}
QVariant stored(bool value) {
    return value;
}
QVariant stored(const QStringList& value) {
    return QVariant(value).toList();
}
QVariant stored(const QString& value) {
    return value;
}
QVariant stored(Theme value) {
    return Settings::rawValue(value);
}

QString expandTilde(const QString& path) {
    if (path == u"~") {
        return QDir::homePath();
    }
    return path.startsWith(u"~/") ? QDir::homePath() + path.mid(1) : path;
}

bool fitsUInt32(qint64 value) {
    return value >= 0 && value <= std::numeric_limits<std::uint32_t>::max();
}

}  // namespace

Settings& Settings::shared() {
    static Settings settings(UserDefaults::standard());
    return settings;
}

Settings::Settings(UserDefaults& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults) {
    load();
}

void Settings::followFileChanges() {
    if (m_fileWatcher) {
        return;
    }
    m_fileWatcher = std::make_unique<QFileSystemWatcher>();
    connect(m_fileWatcher.get(), &QFileSystemWatcher::directoryChanged, this, &Settings::reload);
    connect(m_fileWatcher.get(), &QFileSystemWatcher::fileChanged, this, &Settings::reload);
    watchFile();
}

template <typename K, typename V>
void Settings::store(const K& key, const V& value) {
    m_defaults.set(nameOf(key), stored(value));
    noteStorageOutcome();
}

void Settings::noteStorageOutcome() {
    const QString problem = m_defaults.writeFailure();
    if (problem != m_storageProblem) {
        m_storageProblem = problem;
        Q_EMIT storageProblemChanged();
    }
}

// Other processes replace the file by renaming over it, which only its folder reports; a program
// writing in place is reported on the file, whose watch is renewed as it is replaced.
void Settings::watchFile() {
    const QFileInfo file(m_defaults.filePath());
    if (!m_fileWatcher) {
        return;
    }
    if (m_fileWatcher->directories().isEmpty() && file.dir().exists()) {
        m_fileWatcher->addPath(file.absolutePath());
    }
    if (m_fileWatcher->files().isEmpty() && file.exists()) {
        m_fileWatcher->addPath(file.absoluteFilePath());
    }
}

void Settings::reload() {
    watchFile();
    if (!m_defaults.reload()) {
        return;
    }
    const Theme theme = m_theme;
    const int columns = m_columns;
    const double panelHeight = m_panelHeight;
    const int historyLimit = m_historyLimit;
    const int unseenResetSeconds = m_unseenResetSeconds;
    const QStringList watchedFolders = m_watchedFolders;
    const HotKeyBinding hotKey = hotKeyBinding();
    const bool showDockIcon = m_showDockIcon;
    const bool searchOlder = m_searchOlderScreenshots;
    load();
    const auto notify = [this](bool changed, void (Settings::*signal)()) {
        if (changed) {
            Q_EMIT(this->*signal)();
        }
    };
    notify(theme != m_theme, &Settings::themeChanged);
    notify(columns != m_columns, &Settings::columnsChanged);
    notify(panelHeight != m_panelHeight, &Settings::panelHeightChanged);
    notify(historyLimit != m_historyLimit, &Settings::historyLimitChanged);
    notify(unseenResetSeconds != m_unseenResetSeconds, &Settings::unseenResetSecondsChanged);
    notify(watchedFolders != m_watchedFolders, &Settings::watchedFolderChanged);
    notify(hotKey != hotKeyBinding(), &Settings::hotKeyChanged);
    notify(showDockIcon != m_showDockIcon, &Settings::dockIconChanged);
    notify(searchOlder != m_searchOlderScreenshots, &Settings::searchOlderScreenshotsChanged);
}

void Settings::load() {
    m_theme = loaded(m_defaults, kTheme);
    m_columns = loaded(m_defaults, kColumns);
    m_panelHeight = loaded(m_defaults, kPanelHeight);
    m_historyLimit = loaded(m_defaults, kHistoryLimit);
    m_unseenResetSeconds = loaded(m_defaults, kUnseenResetSeconds);
    m_watchedFolders = loaded(m_defaults, kWatchedFolders);
    m_showDockIcon = loaded(m_defaults, kShowDockIcon);
    m_searchOlderScreenshots = loaded(m_defaults, kSearchOlderScreenshots);
    // The shortcut counts only when both halves are stored as integers.
    const auto code = kHotKeyCode.read(m_defaults, nameOf(kHotKeyCode));
    const auto modifiers = kHotKeyModifiers.read(m_defaults, nameOf(kHotKeyModifiers));
    m_hotKeyCode = code && modifiers ? *code : kHotKeyCode.fallback;
    m_hotKeyModifiers = code && modifiers ? *modifiers : kHotKeyModifiers.fallback;
}

QString Settings::rawValue(Theme theme) {
    switch (theme) {
        case Theme::light:
            return QStringLiteral("light");
        case Theme::dark:
            return QStringLiteral("dark");
        case Theme::system:
            break;
    }
    return QStringLiteral("system");
}

void Settings::setTheme(Theme theme) {
    m_theme = theme;
    store(kTheme, theme);
    Q_EMIT themeChanged();
}

std::optional<Settings::Appearance> Settings::appearance() const {
    switch (m_theme) {
        case Theme::light:
            return Appearance::light;
        case Theme::dark:
            return Appearance::dark;
        case Theme::system:
            break;
    }
    return std::nullopt;
}

void Settings::setColumns(int columns) {
    m_columns = columns;
    store(kColumns, columns);
    Q_EMIT columnsChanged();
}

void Settings::setPanelHeight(double height) {
    m_panelHeight = height;
    store(kPanelHeight, height);
    Q_EMIT panelHeightChanged();
}

void Settings::setHistoryLimit(int limit) {
    m_historyLimit = limit;
    store(kHistoryLimit, limit);
    Q_EMIT historyLimitChanged();
}

void Settings::setUnseenResetSeconds(int seconds) {
    m_unseenResetSeconds = seconds;
    store(kUnseenResetSeconds, seconds);
    Q_EMIT unseenResetSecondsChanged();
}

void Settings::setWatchedFolders(const QStringList& folders) {
    m_watchedFolders = folders;
    storeWatchedFolders();
}

void Settings::addWatchedFolder(const QString& path) {
    const QString expanded = expandTilde(path);
    if (m_watchedFolders.contains(expanded)) {
        return;
    }
    m_watchedFolders.append(expanded);
    storeWatchedFolders();
}

void Settings::removeWatchedFolder(const QString& path) {
    m_watchedFolders.removeAll(path);
    storeWatchedFolders();
}

void Settings::storeWatchedFolders() {
    store(kWatchedFolders, m_watchedFolders);
    Q_EMIT watchedFolderChanged();
}

HotKeyBinding Settings::hotKeyBinding() const {
    // Values this program writes always fit; anything else falls back to the default shortcut.
    if (!fitsUInt32(m_hotKeyCode) || !fitsUInt32(m_hotKeyModifiers)) {
        return defaultHotKey;
    }
    return {static_cast<std::uint32_t>(m_hotKeyCode),
            static_cast<std::uint32_t>(m_hotKeyModifiers)};
}

void Settings::setHotKey(HotKeyBinding binding) {
    m_hotKeyCode = binding.keyCode;
    m_hotKeyModifiers = binding.modifiers;
    store(kHotKeyCode, m_hotKeyCode);
    store(kHotKeyModifiers, m_hotKeyModifiers);
    Q_EMIT hotKeyChanged();
}

void Settings::setSearchOlderScreenshots(bool search) {
    m_searchOlderScreenshots = search;
    store(kSearchOlderScreenshots, search);
    Q_EMIT searchOlderScreenshotsChanged();
}

void Settings::setShowDockIcon(bool show) {
    m_showDockIcon = show;
    store(kShowDockIcon, show);
    Q_EMIT dockIconChanged();
}

bool Settings::hasCelebratedFirstCapture() const {
    return loaded(m_defaults, kHasCelebratedFirstCapture);
}

void Settings::setHasCelebratedFirstCapture(bool celebrated) {
    store(kHasCelebratedFirstCapture, celebrated);
}

bool Settings::hasCompletedOnboarding() const {
    return loaded(m_defaults, kHasCompletedOnboarding);
}

void Settings::setHasCompletedOnboarding(bool completed) {
    store(kHasCompletedOnboarding, completed);
}

bool Settings::hasCompletedFeatureTour() const {
    return loaded(m_defaults, kHasCompletedFeatureTour);
}

void Settings::setHasCompletedFeatureTour(bool completed) {
    store(kHasCompletedFeatureTour, completed);
}

void Settings::resetOnboarding() {
    m_defaults.remove(nameOf(kHasCompletedOnboarding));
    noteStorageOutcome();
    resetFeatureTour();
}

void Settings::resetFeatureTour() {
    m_defaults.remove(nameOf(kHasCompletedFeatureTour));
    noteStorageOutcome();
}

bool Settings::automaticallyChecksForUpdates() const {
    return loaded(m_defaults, kAutomaticUpdateChecks);
}

void Settings::setAutomaticallyChecksForUpdates(bool checks) {
    store(kAutomaticUpdateChecks, checks);
}

std::optional<QDateTime> Settings::lastUpdateCheckDate() const {
    const QDateTime date =
        QDateTime::fromString(loaded(m_defaults, kLastUpdateCheckDate), Qt::ISODate);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

void Settings::setLastUpdateCheckDate(const QDateTime& date) {
    store(kLastUpdateCheckDate, date.toUTC().toString(Qt::ISODate));
}

QString Settings::skippedUpdateVersion() const {
    return loaded(m_defaults, kSkippedUpdateVersion);
}

void Settings::setSkippedUpdateVersion(const QString& version) {
    store(kSkippedUpdateVersion, version);
}

std::optional<QString> Settings::lastRunVersion() const {
    return kLastRunVersion.read(m_defaults, nameOf(kLastRunVersion));
}

void Settings::setLastRunVersion(const QString& version) {
    store(kLastRunVersion, version);
}

}  // namespace framlet
