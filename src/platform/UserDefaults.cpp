#include "platform/UserDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/DebugLog.h"
#include "platform/RegularFile.h"
#include "platform/TypedJson.h"

namespace framlet {
namespace {

enum class FileState { missing, readable, damaged };

struct Contents {
    FileState state = FileState::missing;
    QVariantMap values;
};

// A file that reads as damaged may be one another program is writing in place at this moment:
// it is read again a few times before being taken for damaged.
constexpr int kDamagedRereads = 5;
constexpr auto kRereadPause = std::chrono::milliseconds(20);

// Far beyond any preferences file; a larger one is not one, and /dev/zero behind a link never ends.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

Contents readContents(const QString& path) {
    // Links are followed: people keep their settings in a dotfiles folder.
    QFile file;
    const RegularFile::Opened opened =
        RegularFile::open(path, RegularFile::Links::follow, file, kMaxFileBytes);
    if (opened.status == RegularFile::Status::missing) {
        return {};
    }
    if (!opened.ok()) {
        return {FileState::damaged, {}};
    }
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes) {
        return {FileState::damaged, {}};
    }
    const auto values = TypedJson::parseObject(text);
    if (!values) {
        return {FileState::damaged, {}};
    }
    return {FileState::readable, *values};
}

Contents readSettled(const QString& path) {
    Contents contents = readContents(path);
    for (int n = 0; n < kDamagedRereads && contents.state == FileState::damaged; ++n) {
        std::this_thread::sleep_for(kRereadPause);
        contents = readContents(path);
    }
    return contents;
}

// Holds an exclusive advisory lock on a companion file for as long as it lives. The data file
// itself is replaced on every write, so it cannot carry the lock.
class FileLock {
public:
    explicit FileLock(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd;
};

// Moves a damaged file out of the way, keeping it for the user to inspect.
bool keepAside(const QString& path) {
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n) {
        target = path + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    }
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0) {
        DebugLog::log(
            QStringLiteral("defaults: cannot move the unreadable %1 aside, not writing it")
                .arg(path));
        return false;
    }
    DebugLog::log(QStringLiteral("defaults: unreadable %1 kept as %2").arg(path, target));
    return true;
}

// Numbers no qint64 can hold ("1e300", "nan") are of the wrong type, as a word would be.
qint64 integralPart(double number) {
    return std::isfinite(number) && std::abs(number) < 9.2e18 ? static_cast<qint64>(number) : 0;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults(pathForDomain(QStringLiteral("defaults")));
    return defaults;
}

QString UserDefaults::pathForDomain(const QString& domain) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Framlet/") + domain + QStringLiteral(".json");
}

UserDefaults::UserDefaults(QString filePath)
    : m_path(std::move(filePath)), m_values(readContents(m_path).values) {
}

qint64 UserDefaults::integer(const QString& key) const {
    const QVariant value = object(key);
    switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::LongLong:
            return value.toLongLong();
        case QMetaType::Double:
            return integralPart(value.toDouble());
        case QMetaType::QString: {
            const QString text = value.toString().trimmed();
            bool ok = false;
            const qint64 number = text.toLongLong(&ok);
            return ok ? number : integralPart(text.toDouble());
        }
        default:
            return 0;
    }
}

double UserDefaults::real(const QString& key) const {
    const QVariant value = object(key);
    switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::LongLong:
        case QMetaType::Double:
            return value.toDouble();
        case QMetaType::QString:
            return value.toString().trimmed().toDouble();
        default:
            return 0.0;
    }
}

bool UserDefaults::boolean(const QString& key) const {
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        return text == u"yes" || text == u"true" || text.toLongLong() != 0;
    }
    return (value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::LongLong ||
            value.typeId() == QMetaType::Double) &&
           value.toDouble() != 0.0;
}

QString UserDefaults::string(const QString& key) const {
    const QVariant value = object(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool UserDefaults::set(const QString& key, const QVariant& value) {
    return update(key, &value);
}

bool UserDefaults::remove(const QString& key) {
    return update(key, nullptr);
}

bool UserDefaults::update(const QString& key, const QVariant* value) {
    // The change holds for this run whatever the file does, and goes along with the next write.
    m_unwritten.insert(key, value ? std::optional<QVariant>(*value) : std::nullopt);
    apply(m_values, key, value ? std::optional<QVariant>(*value) : std::nullopt);
    const QString failure = write();
    m_writeFailure = failure;
    if (failure.isEmpty()) {
        m_unwritten.clear();
        return true;
    }
    if (!m_loggedWriteFailure) {
        m_loggedWriteFailure = true;
        DebugLog::log(QStringLiteral("defaults: cannot write %1 (%2); changes last until quit")
                          .arg(m_path, failure));
    }
    return false;
}

void UserDefaults::apply(QVariantMap& values, const QString& key,
                         const std::optional<QVariant>& value) {
    if (value) {
        values.insert(key, *value);
    } else {
        values.remove(key);
    }
}

QString UserDefaults::write() {
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("cannot create the folder %1").arg(folder);
    }
    FileLock lock(m_path + QStringLiteral(".lock"));
    Contents current = readSettled(m_path);
    if (current.state == FileState::damaged) {
        if (!keepAside(m_path)) {
            return QStringLiteral("cannot move the unreadable file aside");
        }
        // What this process knows stands in for the unreadable file, rather than only the keys
        // changed since.
        current.values = m_values;
    }
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it) {
        apply(current.values, it.key(), it.value());
    }
    if (const auto failure = AtomicFile::replace(m_path, TypedJson::encodeObject(current.values),
                                                 {.newFileMode = 0600})) {
        return *failure;
    }
    m_values = std::move(current.values);
    return QString();
}

bool UserDefaults::reload() {
    Contents current = readSettled(m_path);
    if (current.state == FileState::damaged) {
        return false;  // keeps what it knows; the next write sets the file aside
    }
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it) {
        apply(current.values, it.key(), it.value());
    }
    if (current.values == m_values) {
        return false;
    }
    m_values = std::move(current.values);
    return true;
}

}  // namespace framlet
