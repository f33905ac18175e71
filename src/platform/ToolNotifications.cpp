#include "platform/ToolNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/IniText.h"

namespace framlet {
namespace {

const QString kSpectacle = QStringLiteral("spectacle");
const QString kFlameshot = QStringLiteral("flameshot");

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::optional<QString> writeText(const QString& path, const QString& text) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return QStringLiteral("cannot create the folder of ") + path;
    }
    // QSaveFile writes beside the file and renames over it, keeping the file's permissions and
    // following a symbolic link to the real file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        return file.errorString() + QStringLiteral(" (") + path + QLatin1Char(')');
    }
    return std::nullopt;
}

}  // namespace

ToolNotifications::ToolNotifications(QString tool, QString configHome)
    : m_tool(std::move(tool)), m_configHome(std::move(configHome)) {
}

ToolNotifications::ToolNotifications(QString tool)
    : ToolNotifications(std::move(tool),
                        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)) {
}

std::optional<ToolNotifications::Setting> ToolNotifications::setting() const {
    if (m_tool == kSpectacle) {
        return Setting{QStringLiteral("plasmanotifyrc"),
                       QStringLiteral("[Applications][org.kde.spectacle]"),
                       QStringLiteral("ShowPopups")};
    }
    if (m_tool == kFlameshot) {
        return Setting{QStringLiteral("flameshot/flameshot.ini"), QStringLiteral("[General]"),
                       QStringLiteral("showDesktopNotification")};
    }
    return std::nullopt;
}

bool ToolNotifications::isAvailable() const {
    return setting().has_value();
}

QString ToolNotifications::unavailableReason() const {
    if (isAvailable()) {
        return {};
    }
    if (m_tool.isEmpty()) {
        return QStringLiteral("No screenshot tool was found, so there is no notification to hide.");
    }
    return QStringLiteral("Your screenshot tool (%1) has no setting for its notification.")
        .arg(m_tool);
}

QString ToolNotifications::settingsFile() const {
    const auto found = setting();
    return found ? m_configHome + QLatin1Char('/') + found->file : QString();
}

bool ToolNotifications::isSuppressed() const {
    const auto found = setting();
    if (!found) {
        return false;
    }
    const auto value = IniText::value(readText(settingsFile()), found->group, found->key);
    return value && value->compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0;
}

std::optional<QString> ToolNotifications::setSuppressed(bool suppressed) const {
    const auto found = setting();
    if (!found) {
        return unavailableReason();
    }
    const QString path = settingsFile();
    if (QFileInfo::exists(path) && !QFileInfo(path).isReadable()) {
        return QStringLiteral("cannot read ") + path;  // rewriting it would lose its keys
    }
    const QString text =
        IniText::withValue(readText(path), found->group, found->key,
                           suppressed ? QStringLiteral("false") : QStringLiteral("true"));
    if (auto error = writeText(path, text)) {
        return error;
    }
    announceChange(*found);
    return std::nullopt;
}

// Plasma's notification server reloads its settings when KConfig announces a change of the file
// on the session bus; Flameshot watches its file itself.
void ToolNotifications::announceChange(const Setting& setting) const {
    if (m_tool != kSpectacle) {
        return;
    }
    qDBusRegisterMetaType<QByteArrayList>();
    qDBusRegisterMetaType<QHash<QString, QByteArrayList>>();
    // KConfig joins nested group names with 0x1d.
    const QString group = QStringLiteral("Applications\x1dorg.kde.spectacle");
    QHash<QString, QByteArrayList> changes{{group, {setting.key.toUtf8()}}};
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/plasmanotifyrc"),
                                                     QStringLiteral("org.kde.kconfig.notify"),
                                                     QStringLiteral("ConfigChanged"));
    signal << QVariant::fromValue(changes);
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace framlet
