#include "platform/LoginItem.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/AtomicFile.h"
#include "platform/IniText.h"
#include "platform/RegularFile.h"

namespace framlet {
namespace {

const QByteArray kGroup = QByteArrayLiteral("[Desktop Entry]");
// Far beyond any desktop entry; /dev/zero behind a link never ends.
constexpr qint64 kMaxEntryBytes = 1024 * 1024;

QByteArray entryValue(const QByteArray& entry, const char* key) {
    return IniText::value(entry, kGroup, key).value_or(QByteArray());
}

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isAbsolute() && info.isFile() && info.isExecutable();
}

// The file a program of an Exec line names: a bare name is looked up in PATH, as the session
// does; empty when there is no such executable.
QString programFile(const QString& program) {
    if (program.contains(QLatin1Char('/'))) {
        return isExecutableFile(program) ? program : QString();
    }
    return program.isEmpty() ? QString() : QStandardPaths::findExecutable(program);
}

// Undoes the escapes of a value of type string.
QString unescapeStringValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
            case 's':
                out += QLatin1Char(' ');
                break;
            case 'n':
                out += QLatin1Char('\n');
                break;
            case 't':
                out += QLatin1Char('\t');
                break;
            case 'r':
                out += QLatin1Char('\r');
                break;
            case '\\':
                out += QLatin1Char('\\');
                break;
            default:
                out += QLatin1Char('\\');
                out += next;
        }
    }
    return out;
}

// Whether the program of the entry's TryExec, a plain string, exists; true without one.
bool tryExecFound(const QByteArray& entry) {
    const auto tryExec = IniText::value(entry, kGroup, "TryExec");
    return !tryExec || !programFile(unescapeStringValue(QString::fromUtf8(*tryExec))).isEmpty();
}

// Whether the entry is exactly as Framlet writes it, so deleting it loses nothing of the user's:
// a file of its own (no link, no second name) holding desktopEntry() of its Exec.
bool isFramletsOwn(const QString& path, const QByteArray& entry) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink != 1) {
        return false;
    }
    const QString program = LoginItem::execProgram(QString::fromUtf8(entryValue(entry, "Exec")));
    return !program.isEmpty() && entry == LoginItem::desktopEntry(program).toUtf8();
}

// Escapes for a value of type string: applied after the Exec quoting rules.
QString escapeStringValue(const QString& value) {
    QString out;
    for (const QChar c : value) {
        switch (c.unicode()) {
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '\t':
                out += QStringLiteral("\\t");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

LoginItem::LoginItem() : LoginItem(defaultEntryPath(), runningExecutable()) {
}

LoginItem::LoginItem(QString entryPath, QString executablePath)
    : m_entryPath(std::move(entryPath)), m_executablePath(std::move(executablePath)) {
}

QString LoginItem::defaultEntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/framlet.desktop");
}

QString LoginItem::runningExecutable() {
    // A deleted or replaced executable shows up as "/path (deleted)" and counts as not found.
    const QString path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    // An AppImage's runtime names its mount in APPDIR and the file in APPIMAGE. Programs it starts
    // inherit both, so they count only for an executable inside that mount.
    const QString mount = QDir::cleanPath(qEnvironmentVariable("APPDIR"));
    const bool inAppImage =
        (!qEnvironmentVariableIsEmpty("APPDIR") && path.startsWith(mount + QLatin1Char('/'))) ||
        path.contains(QStringLiteral("/.mount_"));
    if (inAppImage) {
        const QString appImage = qEnvironmentVariable("APPIMAGE");
        return isExecutableFile(appImage) ? QDir::cleanPath(appImage) : QString();
    }
    return isExecutableFile(path) ? path : QString();
}

LoginItem::Status LoginItem::status() const {
    if (m_executablePath.isEmpty() || !QFileInfo(m_executablePath).isExecutable()) {
        return Status::notFound;
    }
    const RegularFile::Contents read =
        RegularFile::readAll(m_entryPath, RegularFile::Links::follow, kMaxEntryBytes);
    if (read.opened.status == RegularFile::Status::missing) {
        return Status::notRegistered;
    }
    if (!read.opened.ok() || entryValue(read.bytes, "Hidden") == "true" ||
        entryValue(read.bytes, "X-GNOME-Autostart-enabled") == "false") {
        return Status::requiresApproval;  // present, but the session does not start it
    }
    const QString program = execProgram(QString::fromUtf8(entryValue(read.bytes, "Exec")));
    return programFile(program).isEmpty() || !tryExecFound(read.bytes) ? Status::notFound
                                                                       : Status::enabled;
}

std::optional<QString> LoginItem::registerItem() const {
    if (m_executablePath.isEmpty()) {
        return QStringLiteral("the running program's executable cannot be located");
    }
    // Desktop entries are UTF-8; bytes that are not decode to U+FFFD and would name another file.
    if (m_executablePath.contains(QChar::ReplacementCharacter)) {
        return QStringLiteral("the program's path is not valid UTF-8: %1").arg(m_executablePath);
    }
    const QString folder = QFileInfo(m_entryPath).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("cannot create the folder %1").arg(folder);
    }
    const RegularFile::Contents read =
        RegularFile::readAll(m_entryPath, RegularFile::Links::follow, kMaxEntryBytes);
    if (!read.opened.ok() && read.opened.status != RegularFile::Status::missing) {
        return QStringLiteral("cannot read %1: %2").arg(m_entryPath, read.opened.error);
    }
    return AtomicFile::replace(m_entryPath, enabledEntry(read.bytes), {.newFileMode = 0644});
}

// The entry turned on and pointing at this executable, with everything else the user wrote.
// What has no Type is no entry (an empty file, say) and is written afresh.
QByteArray LoginItem::enabledEntry(const QByteArray& entry) const {
    if (!IniText::value(entry, kGroup, "Type")) {
        return desktopEntry(m_executablePath).toUtf8();
    }
    QByteArray edited = entry;
    const QString current = programFile(execProgram(QString::fromUtf8(entryValue(entry, "Exec"))));
    if (current.isEmpty() ||
        QFileInfo(current).canonicalFilePath() != QFileInfo(m_executablePath).canonicalFilePath()) {
        edited =
            IniText::withValue(edited, kGroup, "Exec", execArgument(m_executablePath).toUtf8());
    }
    if (!tryExecFound(edited)) {
        // The session skips an entry whose TryExec names no program.
        edited = IniText::withValue(edited, kGroup, "TryExec",
                                    escapeStringValue(m_executablePath).toUtf8());
    }
    if (IniText::value(edited, kGroup, "Hidden")) {
        edited = IniText::withValue(edited, kGroup, "Hidden", "false");
    }
    if (IniText::value(edited, kGroup, "X-GNOME-Autostart-enabled")) {
        edited = IniText::withValue(edited, kGroup, "X-GNOME-Autostart-enabled", "true");
    }
    return edited;
}

std::optional<QString> LoginItem::unregisterItem() const {
    const RegularFile::Contents read =
        RegularFile::readAll(m_entryPath, RegularFile::Links::follow, kMaxEntryBytes);
    if (read.opened.status == RegularFile::Status::missing) {
        return std::nullopt;
    }
    if (!read.opened.ok()) {
        return QStringLiteral("cannot read %1: %2").arg(m_entryPath, read.opened.error);
    }
    if (isFramletsOwn(m_entryPath, read.bytes)) {
        QFile entry(m_entryPath);
        if (!entry.remove()) {
            return QStringLiteral("cannot remove %1: %2").arg(m_entryPath, entry.errorString());
        }
        return std::nullopt;
    }
    return AtomicFile::replace(m_entryPath,
                               IniText::withValue(read.bytes, kGroup, "Hidden", "true"));
}

QString LoginItem::execProgram(const QString& exec) {
    const QString command = unescapeStringValue(exec).trimmed();
    QString program;
    bool quoted = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u'\\' && i + 1 < command.size()) {
            program += command[++i];
        } else if (!quoted && (c == u' ' || c == u'\t')) {
            break;
        } else {
            program += c;
        }
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QString LoginItem::execArgument(const QString& path) {
    // Inside double quotes, ", `, $ and \ take a backslash; % is the field-code escape.
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
        if (c == u'%') {
            quoted += QLatin1Char('%');
        }
    }
    return escapeStringValue(QLatin1Char('"') + quoted + QLatin1Char('"'));
}

QString LoginItem::desktopEntry(const QString& executablePath) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Framlet\n"
               "Comment=Keeps your recent screenshots on a shelf\n"
               "Exec=%1\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n"
               // Give the panel's tray time to come up before the tray icon is created.
               "X-GNOME-Autostart-Delay=5\n")
        .arg(execArgument(executablePath));
}

}  // namespace framlet
