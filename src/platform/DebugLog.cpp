#include "platform/DebugLog.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimeZone>
#include <cerrno>
#include <ctime>
#include <mutex>

namespace framlet::DebugLog {
namespace {

bool fileLoggingEnabled() {
    // Read once: changing the environment later has no effect.
    static const bool enabled = qEnvironmentVariableIsSet("FRAMLET_DEBUG_LOG");
    return enabled;
}

const QByteArray& logPath() {
    static const QByteArray path = [] {
        const QString file = filePath();
        QDir().mkpath(QFileInfo(file).path());  // a failure shows up as a failed open below
        return QFile::encodeName(file);
    }();
    return path;
}

void openSyslog() {
    static std::once_flag once;
    std::call_once(once, [] { openlog("framlet", LOG_PID, LOG_USER); });
}

// One write(2) per line keeps concurrent lines whole; EINTR and short writes are retried.
void writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        data += written;
        left -= written;
    }
}

void appendToFile(const QString& message) {
    const QByteArray line =
        (timestamp(std::time(nullptr)) + QLatin1Char(' ') + message + QLatin1Char('\n')).toUtf8();
    // O_APPEND creates the file when it is missing and never replaces one we cannot open.
    const int fd = ::open(logPath().constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    writeAll(fd, line);
    ::close(fd);
}

}  // namespace

QString filePath() {
    // The base directory rules ignore a relative value.
    const QString configured = qEnvironmentVariable("XDG_STATE_HOME");
    const QString stateHome = QDir::isAbsolutePath(configured)
                                  ? configured
                                  : QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/Framlet/debug.log");
}

QString timestamp(qint64 secondsSinceEpoch) {
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, QTimeZone::utc())
               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" +0000");
}

void system(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    openSyslog();
    ::syslog(LOG_NOTICE, "%s", bytes.constData());
    writeAll(STDERR_FILENO, bytes + '\n');
}

QString escaped(const QString& name) {
    QString text = name;
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(u'\r', QStringLiteral("\\r"));
    return text;
}

void log(const QString& message) {
    system(QStringLiteral("Framlet: ") + message);
    if (fileLoggingEnabled()) {
        appendToFile(message);
    }
}

}  // namespace framlet::DebugLog
