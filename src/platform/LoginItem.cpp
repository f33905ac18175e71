#include "platform/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace framlet {
namespace {

// The value of a key in the [Desktop Entry] group, or a null string.
QString entryValue(const QString& contents, QStringView key) {
    bool inMainGroup = false;
    for (const QString& rawLine : contents.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inMainGroup && equals > 0 && QStringView(line).left(equals).trimmed() == key) {
            return line.mid(equals + 1).trimmed();
        }
    }
    return {};
}

bool isDisabled(const QString& contents) {
    return entryValue(contents, u"Hidden") == u"true" ||
           entryValue(contents, u"X-GNOME-Autostart-enabled") == u"false";
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
    return QFileInfo(path).isExecutable() ? path : QString();
}

LoginItem::Status LoginItem::status() const {
    if (m_executablePath.isEmpty() || !QFileInfo(m_executablePath).isExecutable()) {
        return Status::notFound;
    }
    QFile entry(m_entryPath);
    if (!entry.exists()) {
        return Status::notRegistered;
    }
    if (!entry.open(QIODevice::ReadOnly)) {
        return Status::requiresApproval;  // present, but the session could not start it either
    }
    return isDisabled(QString::fromUtf8(entry.readAll())) ? Status::requiresApproval
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
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(desktopEntry(m_executablePath).toUtf8()) < 0 || !file.commit()) {
        return QStringLiteral("cannot write %1: %2").arg(m_entryPath, file.errorString());
    }
    return std::nullopt;
}

std::optional<QString> LoginItem::unregisterItem() const {
    QFile entry(m_entryPath);
    if (entry.exists() && !entry.remove()) {
        return QStringLiteral("cannot remove %1: %2").arg(m_entryPath, entry.errorString());
    }
    return std::nullopt;
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
