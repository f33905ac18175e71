#include "platform/ScreenshotPreferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>

#include "platform/GettextCatalog.h"
#include "platform/RegularFile.h"

namespace framlet {
namespace {

constexpr int kGsettingsTimeoutMs = 2000;

QString unescapeKConfig(const QString& value) {
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            result += next == u's' ? QChar(u' ') : next == u't' ? QChar(u'\t') : next;
        } else {
            result += value[i];
        }
    }
    return result;
}

// Far beyond any settings file; /dev/zero behind a link never ends.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

// The lines of a settings file. Only a regular file is read, so a FIFO or a device in its place
// reads as no file instead of stopping the thread.
QList<QByteArray> settingsLines(const QString& path) {
    return RegularFile::readAll(path, RegularFile::Links::follow, kMaxFileBytes).bytes.split('\n');
}

// The value of a key in an INI-style file written by KConfig or Xfce. An empty group means the
// keys before any group header, where Xfce writes them. A key marked "[$e]" may hold $HOME.
std::optional<QString> iniValue(const QString& path, const QString& group, const QString& key,
                                const QString& home) {
    QString currentGroup;
    for (const QByteArray& bytes : settingsLines(path)) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.startsWith(u'[')) {
            currentGroup = line.mid(1, line.indexOf(u']') - 1);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || currentGroup != group) {
            continue;
        }
        const QString name = line.left(equals).trimmed();
        const QString value = unescapeKConfig(line.mid(equals + 1).trimmed());
        if (name == key) {
            return value;
        }
        if (name == key + QStringLiteral("[$e]")) {
            return QString(value)
                .replace(QStringLiteral("${HOME}"), home)
                .replace(QStringLiteral("$HOME"), home);
        }
    }
    return std::nullopt;
}

// A key of a file QSettings wrote, as QSettings reads it (its escapes, "\xfc", its quoting), from
// a private copy of a regular file: QSettings opens whatever holds the name itself.
QVariant qsettingsValue(const QString& path, const QString& key) {
    const RegularFile::Contents read =
        RegularFile::readAll(path, RegularFile::Links::follow, kMaxFileBytes);
    const QTemporaryDir folder;
    QFile copy(folder.filePath(QStringLiteral("copy.ini")));
    if (!read.opened.ok() || !folder.isValid() || !copy.open(QIODevice::WriteOnly) ||
        copy.write(read.bytes) != read.bytes.size()) {
        return {};
    }
    copy.close();
    return QSettings(copy.fileName(), QSettings::IniFormat).value(key);
}

// A string as gsettings prints it: 'text' with \' and \\ escaped.
QString fromGVariantText(QString text) {
    text = text.trimmed();
    if (text.size() < 2 || !(text.startsWith(u'\'') || text.startsWith(u'"')) ||
        text.back() != text.front()) {
        return QString();
    }
    return unescapeKConfig(text.mid(1, text.size() - 2));
}

// How a setting was found, for the log line.
QString described(const QString& key, const QString& file, const std::optional<QString>& value) {
    if (!QFileInfo::exists(file)) {
        return QStringLiteral("no settings file");
    }
    return value ? QStringLiteral("%1=\"%2\"").arg(key, *value) : key + QStringLiteral(" not set");
}

bool isDirectory(const QString& path) {
    return QDir::isAbsolutePath(path) && QFileInfo(path).isDir();
}

}  // namespace

const QStringList ScreenshotPreferences::knownTools = {
    QStringLiteral("spectacle"), QStringLiteral("gnome-screenshot"),
    QStringLiteral("xfce4-screenshooter"), QStringLiteral("flameshot")};

ScreenshotPreferences::Environment ScreenshotPreferences::Environment::current() {
    const QString home = QDir::homePath();
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QStringList installed;
    for (const QString& tool : knownTools) {
        if (!QStandardPaths::findExecutable(tool).isEmpty()) {
            installed.append(tool);
        }
    }
    return {
        qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
        home,
        configHome,
        picturesFromUserDirs(configHome + QStringLiteral("/user-dirs.dirs"), home),
        QStringLiteral("/usr/share/locale"),
        GettextCatalog::preferredLanguages(),
        QStandardPaths::findExecutable(QStringLiteral("gsettings")),
        installed,
    };
}

ScreenshotPreferences::ScreenshotPreferences(Environment environment)
    : m_environment(std::move(environment)) {
}

std::optional<ScreenshotPreferences::Choice> ScreenshotPreferences::choice() const {
    // Read lazily and in order: GNOME's settings cost a child process (gsettings).
    const std::optional<ToolAnswer> own = desktopTool();
    if (own && own->fromSetting) {
        return own->choice;
    }
    const ToolAnswer other = flameshot();
    if (other.fromSetting) {
        return other.choice;
    }
    if (own && own->present) {
        return own->choice;
    }
    // Flameshot leaves its settings file empty until its save path is changed, so a file at all
    // means it has been run.
    const bool onlyFlameshot =
        m_environment.installedTools == QStringList{QStringLiteral("flameshot")};
    if (other.hasSettingsFile || onlyFlameshot) {
        return other.choice;
    }
    return std::nullopt;
}

std::optional<QString> ScreenshotPreferences::location() const {
    if (const auto chosen = choice()) {
        return chosen->folder;
    }
    return std::nullopt;
}

QStringList ScreenshotPreferences::settingsFiles() const {
    const QString config = m_environment.configHome;
    QStringList files = {config + QStringLiteral("/user-dirs.dirs"),
                         config + QStringLiteral("/flameshot/flameshot.ini")};
    if (desktopIs(QStringLiteral("KDE"))) {
        files.append(config + QStringLiteral("/spectaclerc"));
    }
    if (desktopIs(QStringLiteral("GNOME"))) {
        files.append(config + QStringLiteral("/dconf/user"));  // where gsettings keeps its values
    }
    if (desktopIs(QStringLiteral("XFCE"))) {
        files.append(config + QStringLiteral("/xfce4/xfce4-screenshooter"));
    }
    return files;
}

std::optional<ScreenshotPreferences::ToolAnswer> ScreenshotPreferences::desktopTool() const {
    if (desktopIs(QStringLiteral("KDE"))) {
        return spectacle();
    }
    if (desktopIs(QStringLiteral("GNOME"))) {
        return gnome();
    }
    if (desktopIs(QStringLiteral("XFCE"))) {
        return xfceScreenshooter();
    }
    return std::nullopt;
}

bool ScreenshotPreferences::desktopIs(const QString& name) const {
    const QStringList desktops = m_environment.desktop.split(u':', Qt::SkipEmptyParts);
    return std::any_of(desktops.cbegin(), desktops.cend(), [&](const QString& desktop) {
        return desktop.compare(name, Qt::CaseInsensitive) == 0 ||
               desktop.startsWith(name + u'-', Qt::CaseInsensitive);  // GNOME-Classic
    });
}

bool ScreenshotPreferences::installed(const QString& tool) const {
    return m_environment.installedTools.contains(tool);
}

QString ScreenshotPreferences::gnomeShellFolderName() const {
    return GettextCatalog::translate(m_environment.localeFolder, QStringLiteral("gnome-shell"),
                                     m_environment.languages, "Screenshots")
        .value_or(QStringLiteral("Screenshots"));
}

QString ScreenshotPreferences::picturesFromUserDirs(const QString& path, const QString& home) {
    QString pictures;
    for (const QByteArray& bytes : settingsLines(path)) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        const QString prefix = QStringLiteral("XDG_PICTURES_DIR=\"");
        if (!line.startsWith(prefix) || !line.endsWith(u'"') || line.size() <= prefix.size()) {
            continue;
        }
        QString value = line.mid(prefix.size(), line.size() - prefix.size() - 1);
        if (value == u"$HOME" || value.startsWith(QStringLiteral("$HOME/"))) {
            value = home + value.mid(5);
        } else if (!value.startsWith(u'/')) {
            continue;
        }
        pictures = QDir::cleanPath(value);  // the last line wins, as in both readers
    }
    return pictures;
}

ScreenshotPreferences::ToolAnswer ScreenshotPreferences::spectacle() const {
    const QString file = m_environment.configHome + QStringLiteral("/spectaclerc");
    const auto value = iniValue(file, QStringLiteral("Save"), QStringLiteral("defaultSaveLocation"),
                                m_environment.home);
    const QString set = value ? expanded(*value) : QString();
    const bool usable = isDirectory(set);
    // Spectacle makes its default folder when it saves, so a missing one is waited for.
    return {
        {QStringLiteral("spectacle"), described(QStringLiteral("defaultSaveLocation"), file, value),
         usable ? set : qtPictures()},
        usable,
        installed(QStringLiteral("spectacle")) || QFileInfo::exists(file),
        QFileInfo::exists(file)};
}

ScreenshotPreferences::ToolAnswer ScreenshotPreferences::gnome() const {
    const QString pictures = qtPictures();
    const QString shellFolder = pictures + u'/' + gnomeShellFolderName();
    const QString untranslated = pictures + QStringLiteral("/Screenshots");
    const QString noSetting = QStringLiteral("no setting");
    // The Shell has no setting of its own: a folder of its making shows where it saves.
    for (const QString& folder : {shellFolder, untranslated}) {
        if (isDirectory(folder)) {
            return {{QStringLiteral("gnome-shell"), noSetting, folder}, true, true, false};
        }
    }
    const QString set = gnomeScreenshotSetting();
    if (isDirectory(expanded(set))) {
        return {{QStringLiteral("gnome-screenshot"),
                 QStringLiteral("auto-save-directory=\"%1\"").arg(set), expanded(set)},
                true,
                true,
                true};
    }
    // The Shell makes its folder at the first capture: watching anything else would miss it.
    return {{QStringLiteral("gnome-shell"), noSetting, shellFolder}, false, true, false};
}

std::optional<ScreenshotPreferences::NamedFolder> ScreenshotPreferences::secondFolder() const {
    if (!desktopIs(QStringLiteral("GNOME")) || !installed(QStringLiteral("gnome-screenshot"))) {
        return std::nullopt;
    }
    const QString set = expanded(gnomeScreenshotSetting());
    const QString pictures = m_environment.userDirsPictures.isEmpty()
                                 ? m_environment.home
                                 : m_environment.userDirsPictures;
    return NamedFolder{QStringLiteral("gnome-screenshot"), isDirectory(set) ? set : pictures,
                       gnomeScreenshotNames()};
}

QString ScreenshotPreferences::gnomeScreenshotNames() const {
    // Its first argument is the time ("%Y-%m-%d %H-%M-%S"), the last the file's extension.
    static const QRegularExpression argument(QStringLiteral(R"(%(?:(\d+)\$)?([sd%]))"));
    QStringList alternatives;
    for (const char* msgid : {"Screenshot from %s.%s", "Screenshot from %s - %d.%s"}) {
        QStringList formats{QString::fromLatin1(msgid)};
        if (const auto translated = GettextCatalog::translate(m_environment.localeFolder,
                                                              QStringLiteral("gnome-screenshot"),
                                                              m_environment.languages, msgid)) {
            formats.append(*translated);
        }
        for (const QString& format : formats) {
            QString pattern;
            qsizetype at = 0;
            int strings = 0;
            for (auto match = argument.globalMatch(format); match.hasNext();) {
                const QRegularExpressionMatch found = match.next();
                pattern += QRegularExpression::escape(format.mid(at, found.capturedStart() - at));
                at = found.capturedEnd();
                const QChar kind = found.captured(2).front();
                const int position = found.captured(1).isEmpty() ? 0 : found.captured(1).toInt();
                if (kind == u'%') {
                    pattern += u'%';
                } else if (kind == u'd') {
                    pattern += QStringLiteral(R"(\d+)");
                } else if ((position ? position : ++strings) == 1) {
                    pattern += QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d)");
                } else {
                    pattern += QStringLiteral("[A-Za-z0-9]+");
                }
            }
            alternatives.append(pattern + QRegularExpression::escape(format.mid(at)));
        }
    }
    alternatives.removeDuplicates();
    return QStringLiteral("^(?:") + alternatives.join(u'|') + QStringLiteral(")$");
}

ScreenshotPreferences::ToolAnswer ScreenshotPreferences::xfceScreenshooter() const {
    const QString file = m_environment.configHome + QStringLiteral("/xfce4/xfce4-screenshooter");
    const auto value =
        iniValue(file, QString(), QStringLiteral("screenshot_dir"), m_environment.home);
    // The tool takes only a URI there ("file:/…" or "file:///…"), and only a folder it may
    // write to; otherwise the Pictures folder of user-dirs.dirs, or the home folder.
    const QString set = value && value->startsWith(QStringLiteral("file:"))
                            ? QUrl(*value).toLocalFile()
                            : QString();
    const QFileInfo info(set);
    const bool usable = isDirectory(set) && info.isWritable() && info.isExecutable();
    const QString fallback = m_environment.userDirsPictures.isEmpty()
                                 ? m_environment.home
                                 : m_environment.userDirsPictures;
    return {{QStringLiteral("xfce4-screenshooter"),
             described(QStringLiteral("screenshot_dir"), file, value),
             usable ? QDir::cleanPath(set) : fallback},
            usable,
            installed(QStringLiteral("xfce4-screenshooter")) || QFileInfo::exists(file),
            QFileInfo::exists(file)};
}

ScreenshotPreferences::ToolAnswer ScreenshotPreferences::flameshot() const {
    const QString file = m_environment.configHome + QStringLiteral("/flameshot/flameshot.ini");
    std::optional<QString> value;
    if (QFileInfo::exists(file)) {
        // Flameshot writes this file with QSettings; its [General] section holds the top-level
        // keys.
        const QVariant saved = qsettingsValue(file, QStringLiteral("savePath"));
        if (saved.isValid()) {
            value = saved.toString();
        }
    }
    // It takes the path as it stands (no "~"), and falls back to Pictures, then home.
    const bool usable = value && isDirectory(*value);
    const QString fallback = isDirectory(qtPictures()) ? qtPictures() : m_environment.home;
    return {{QStringLiteral("flameshot"), described(QStringLiteral("savePath"), file, value),
             usable ? QDir::cleanPath(*value) : fallback},
            usable,
            installed(QStringLiteral("flameshot")) || QFileInfo::exists(file),
            QFileInfo::exists(file)};
}

QString ScreenshotPreferences::gnomeScreenshotSetting() const {
    if (m_environment.gsettings.isEmpty()) {
        return QString();
    }
    QProcess process;
    process.start(m_environment.gsettings,
                  {QStringLiteral("get"), QStringLiteral("org.gnome.gnome-screenshot"),
                   QStringLiteral("auto-save-directory")});
    if (!process.waitForFinished(kGsettingsTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return QString();  // no such schema: GNOME Screenshot is not installed
    }
    return fromGVariantText(QString::fromUtf8(process.readAllStandardOutput()));
}

QString ScreenshotPreferences::qtPictures() const {
    return m_environment.userDirsPictures.isEmpty()
               ? m_environment.home + QStringLiteral("/Pictures")
               : m_environment.userDirsPictures;
}

QString ScreenshotPreferences::expanded(const QString& setting) const {
    QString path = setting.trimmed();
    if (path.startsWith(QStringLiteral("file:"))) {
        path = QUrl(path).toLocalFile();
    }
    if (path == u"~") {
        return m_environment.home;
    }
    if (path.startsWith(QStringLiteral("~/"))) {
        return QDir::cleanPath(m_environment.home + path.mid(1));
    }
    return QDir::cleanPath(path);
}

}  // namespace framlet
