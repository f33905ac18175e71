#include "Settings.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <limits>

#include "UserDefaults.h"

namespace framlet {
namespace {

const QString kTheme = QStringLiteral("theme");
const QString kColumns = QStringLiteral("columns");
const QString kPanelHeight = QStringLiteral("panelHeight");
const QString kHistoryLimit = QStringLiteral("historyLimit");
const QString kUnseenResetSeconds = QStringLiteral("unseenResetSeconds");
const QString kWatchedFolders = QStringLiteral("watchedFolders");
const QString kLegacyWatchedFolder = QStringLiteral("watchedFolder");
const QString kHotKeyCode = QStringLiteral("hotKeyCode");
const QString kHotKeyModifiers = QStringLiteral("hotKeyModifiers");
const QString kShowDockIcon = QStringLiteral("showDockIcon");

bool isInteger(const QVariant& value) {
    return value.typeId() == QMetaType::LongLong;
}

// A stored integer that does not fit an int is as unusable as a missing one.
int toInt(qint64 value) {
    const bool fits =
        value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
    return fits ? static_cast<int>(value) : 0;
}

// 0 (or what cannot be an int) counts as missing; anything else is brought within the range.
int nonZeroWithin(qint64 stored, int fallback, Settings::Range<int> range) {
    const int value = toInt(stored);
    return value == 0 ? fallback : std::clamp(value, range.lowest, range.highest);
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

void Settings::load() {
    const QString theme = m_defaults.string(kTheme);
    m_theme = theme == u"light" ? Theme::light : theme == u"dark" ? Theme::dark : Theme::system;
    m_columns = nonZeroWithin(m_defaults.integer(kColumns), 3, columnsRange);
    const double height = m_defaults.real(kPanelHeight);
    m_panelHeight = height == 0.0 || !std::isfinite(height)
                        ? 420.0
                        : std::clamp(height, panelHeightRange.lowest, panelHeightRange.highest);
    m_historyLimit = nonZeroWithin(m_defaults.integer(kHistoryLimit), 60, historyLimitRange);
    const QVariant unseen = m_defaults.object(kUnseenResetSeconds);
    const bool unseenUsable = isInteger(unseen) &&
                              unseen.toLongLong() >= unseenResetSecondsRange.lowest &&
                              unseen.toLongLong() <= unseenResetSecondsRange.highest;
    m_unseenResetSeconds = unseenUsable ? int(unseen.toLongLong()) : 60;

    if (const auto folders = stringList(m_defaults.object(kWatchedFolders))) {
        m_watchedFolders = *folders;
    } else {
        const QString legacy = m_defaults.string(kLegacyWatchedFolder);
        m_watchedFolders = legacy.isEmpty() ? QStringList() : QStringList{legacy};
    }

    m_showDockIcon = m_defaults.boolean(kShowDockIcon);

    const QVariant code = m_defaults.object(kHotKeyCode);
    const QVariant modifiers = m_defaults.object(kHotKeyModifiers);
    if (isInteger(code) && isInteger(modifiers)) {
        m_hotKeyCode = code.toLongLong();
        m_hotKeyModifiers = modifiers.toLongLong();
    }
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
    m_defaults.set(kTheme, rawValue(theme));
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
    m_defaults.set(kColumns, qint64{columns});
    Q_EMIT columnsChanged();
}

void Settings::setPanelHeight(double height) {
    m_panelHeight = height;
    m_defaults.set(kPanelHeight, height);
    Q_EMIT panelHeightChanged();
}

void Settings::setHistoryLimit(int limit) {
    m_historyLimit = limit;
    m_defaults.set(kHistoryLimit, qint64{limit});
    Q_EMIT historyLimitChanged();
}

void Settings::setUnseenResetSeconds(int seconds) {
    m_unseenResetSeconds = seconds;
    m_defaults.set(kUnseenResetSeconds, qint64{seconds});
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
    m_defaults.set(kWatchedFolders, QVariant(m_watchedFolders).toList());
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
    m_defaults.set(kHotKeyCode, m_hotKeyCode);
    m_defaults.set(kHotKeyModifiers, m_hotKeyModifiers);
    Q_EMIT hotKeyChanged();
}

void Settings::setShowDockIcon(bool show) {
    m_showDockIcon = show;
    m_defaults.set(kShowDockIcon, show);
    Q_EMIT dockIconChanged();
}

}  // namespace framlet
