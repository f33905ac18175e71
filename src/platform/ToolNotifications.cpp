#include "platform/ToolNotifications.h"

#include <sys/stat.h>

#include <QByteArrayList>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <memory>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/IniText.h"
#include "platform/RegularFile.h"

namespace framlet {
namespace {

const QString kSpectacle = QStringLiteral("spectacle");
const QString kFlameshot = QStringLiteral("flameshot");

// Far beyond any settings file; /dev/zero behind a link never ends.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
// QSettings and KConfig hold their lock for a few milliseconds; a lock held longer belongs to a
// program that hangs, and its file is left alone rather than written unlocked.
constexpr int kLockWaitMs = 5000;
constexpr int kLockPollMs = 10;

using Locks = std::vector<std::unique_ptr<QLockFile>>;

// Waits for a lock, asking often: QLockFile's own wait sleeps ever longer, and a program that
// writes in quick succession would take the lock back in every pause.
bool takeLock(QLockFile& lock) {
    const QDeadlineTimer deadline(kLockWaitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(kLockPollMs);
    }
    return true;
}

// Takes the locks the owners of a file take before they write it: QSettings locks beside the
// name it was given, KConfig beside the file a symbolic link leads to.
std::optional<QString> lockLikeOwners(const QString& path, Locks& locks) {
    QStringList names{QFileInfo(path).absoluteFilePath()};
    const QString resolved = AtomicFile::resolveLinks(path);
    if (!resolved.isEmpty() && !names.contains(resolved)) {
        names.append(resolved);
    }
    for (const QString& name : names) {
        const QString lockName = name + QStringLiteral(".lock");
        // QLockFile reads whatever holds the name: a FIFO there would stop this thread. One look
        // only: the owner's lock comes and goes meanwhile.
        struct stat existing {};
        if (::stat(QFile::encodeName(lockName).constData(), &existing) == 0 &&
            !S_ISREG(existing.st_mode)) {
            return QStringLiteral("cannot lock %1: not a regular file").arg(lockName);
        }
        auto lock = std::make_unique<QLockFile>(lockName);
        if (!takeLock(*lock)) {
            return lock->error() == QLockFile::LockFailedError
                       ? QStringLiteral("%1 is being changed by another program; try again")
                             .arg(name)
                       : QStringLiteral("cannot lock %1").arg(lockName);
        }
        locks.push_back(std::move(lock));
    }
    return std::nullopt;
}

bool isFalse(const QByteArray& value, bool kconfig) {
    // KConfig's readEntry() and QVariant::toBool() disagree on "no" and "off".
    static const QByteArrayList kconfigFalse{"false", "no", "off", "0"};
    static const QByteArrayList qsettingsFalse{"false", "0"};
    return (kconfig ? kconfigFalse : qsettingsFalse).contains(value.toLower());
}

}  // namespace

ToolNotifications::ToolNotifications(QString tool, QString configHome, QStringList systemConfig)
    : m_tool(std::move(tool))
    , m_configHome(std::move(configHome))
    , m_systemConfig(std::move(systemConfig)) {
}

ToolNotifications::ToolNotifications(QString tool)
    : ToolNotifications(
          std::move(tool), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
          QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation).mid(1)) {
}

std::optional<ToolNotifications::Setting> ToolNotifications::setting() const {
    if (m_tool == kSpectacle) {
        return Setting{QStringLiteral("plasmanotifyrc"), "[Applications][org.kde.spectacle]",
                       "ShowPopups", true};
    }
    if (m_tool == kFlameshot) {
        return Setting{QStringLiteral("flameshot/flameshot.ini"), "[General]",
                       "showDesktopNotification", false};
    }
    return std::nullopt;
}

ToolNotifications::Contents ToolNotifications::contents(const Setting& setting) const {
    if (auto fixed = fixedBySystem(setting)) {
        return *fixed;
    }
    const QString path = m_configHome + QLatin1Char('/') + setting.file;
    const RegularFile::Contents read =
        RegularFile::readAll(path, RegularFile::Links::follow, kMaxFileBytes);
    if (read.opened.status == RegularFile::Status::missing) {
        return {};
    }
    if (!read.opened.ok()) {
        const bool large = read.opened.status == RegularFile::Status::tooLarge;
        return {{},
                QStringLiteral("Cannot read %1: %2.")
                    .arg(path, large ? QStringLiteral("too large (%1)").arg(read.opened.error)
                                     : read.opened.error)};
    }
    if (setting.kconfig && IniText::isImmutable(read.bytes, setting.group, setting.key)) {
        return {read.bytes, lockedBy(path)};
    }
    return {read.bytes, {}};
}

// KConfig reads the system's files before the user's, the least important folder first, and
// the first file that marks the key immutable decides it for everyone.
std::optional<ToolNotifications::Contents> ToolNotifications::fixedBySystem(
    const Setting& setting) const {
    if (!setting.kconfig) {
        return std::nullopt;
    }
    for (auto folder = m_systemConfig.crbegin(); folder != m_systemConfig.crend(); ++folder) {
        const QString file = *folder + QLatin1Char('/') + setting.file;
        const QByteArray text =
            RegularFile::readAll(file, RegularFile::Links::follow, kMaxFileBytes).bytes;
        if (IniText::isImmutable(text, setting.group, setting.key)) {
            return Contents{text, lockedBy(file)};
        }
    }
    return std::nullopt;
}

QString ToolNotifications::lockedBy(const QString& file) {
    return QStringLiteral("This setting is locked: %1 marks it as not to be changed ([$i]).")
        .arg(file);
}

bool ToolNotifications::isAvailable() const {
    return unavailableReason().isEmpty();
}

QString ToolNotifications::unavailableReason() const {
    if (const auto found = setting()) {
        return contents(*found).problem;
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
    const auto value = IniText::value(contents(*found).text, found->group, found->key);
    return value && isFalse(*value, found->kconfig);
}

std::optional<QString> ToolNotifications::setSuppressed(bool suppressed) const {
    const auto found = setting();
    if (!found) {
        return unavailableReason();
    }
    if (auto error = edit(*found, suppressed ? "false" : "true")) {
        return error;
    }
    announceChange(*found);
    return std::nullopt;
}

// Reads, changes and writes the file while holding its owners' lock, so that neither side's
// write is lost.
std::optional<QString> ToolNotifications::edit(const Setting& setting,
                                               const QByteArray& value) const {
    const QString path = settingsFile();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return QStringLiteral("cannot create the folder of ") + path;
    }
    Locks locks;
    if (auto error = lockLikeOwners(path, locks)) {
        return error;
    }
    const Contents now = contents(setting);
    if (!now.problem.isEmpty()) {
        return now.problem;  // rewriting a file that cannot be read would lose its keys
    }
    const QByteArray text = IniText::withValue(now.text, setting.group, setting.key, value);
    if (text == now.text) {
        return std::nullopt;
    }
    // KConfig makes its files private, QSettings readable by all.
    return AtomicFile::replace(path, text, {.newFileMode = setting.kconfig ? 0600u : 0644u});
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
    QHash<QString, QByteArrayList> changes{{group, {setting.key}}};
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/plasmanotifyrc"),
                                                     QStringLiteral("org.kde.kconfig.notify"),
                                                     QStringLiteral("ConfigChanged"));
    signal << QVariant::fromValue(changes);
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace framlet
