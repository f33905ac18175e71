#include "ScreenshotPreferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

#include "GettextCatalog.h"

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

// The value of a key in an INI-style file written by KConfig or Xfce. An empty group matches
// any group. A key marked "[$e]" may hold $HOME.
QString iniValue(const QString& path, const QString& group, const QString& key,
                 const QString& home) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QString();
    }
    QString currentGroup;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            currentGroup = line.mid(1, line.indexOf(u']') - 1);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || (!group.isEmpty() && currentGroup != group)) {
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
    return QString();
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

}  // namespace

ScreenshotPreferences::Environment ScreenshotPreferences::Environment::current() {
    return {
        qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
        QDir::homePath(),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        QStringLiteral("/usr/share/locale"),
        GettextCatalog::preferredLanguages(),
        QStandardPaths::findExecutable(QStringLiteral("gsettings")),
    };
}

ScreenshotPreferences::ScreenshotPreferences(Environment environment)
    : m_environment(std::move(environment)) {
}

std::optional<QString> ScreenshotPreferences::location() const {
    // Read lazily and in order: the later sources (gsettings) cost a child process.
    for (const Source& source : sources()) {
        const QString folder = expanded(source());
        if (QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir()) {
            return folder;
        }
    }
    // The Shell makes its folder at the first capture: watching anything else would miss it.
    if (desktopIs(QStringLiteral("GNOME")) && QDir::isAbsolutePath(m_environment.picturesFolder)) {
        return m_environment.picturesFolder + u'/' + gnomeShellFolderName();
    }
    return std::nullopt;
}

QList<ScreenshotPreferences::Source> ScreenshotPreferences::sources() const {
    const Source flameshot = [this] { return flameshotFolder(); };
    if (desktopIs(QStringLiteral("KDE"))) {
        return {[this] { return spectacleFolder(); }, flameshot,
                [this] { return m_environment.picturesFolder; }};
    }
    if (desktopIs(QStringLiteral("GNOME"))) {
        const QString pictures = m_environment.picturesFolder + u'/';
        return {[this, pictures] { return pictures + gnomeShellFolderName(); },
                [pictures] { return pictures + QStringLiteral("Screenshots"); },
                [this] { return gnomeScreenshotFolder(); }, flameshot};
    }
    if (desktopIs(QStringLiteral("XFCE"))) {
        return {[this] { return xfceFolder(); }, flameshot};
    }
    return {flameshot};
}

bool ScreenshotPreferences::desktopIs(const QString& name) const {
    const QStringList desktops = m_environment.desktop.split(u':', Qt::SkipEmptyParts);
    return std::any_of(desktops.cbegin(), desktops.cend(), [&](const QString& desktop) {
        return desktop.compare(name, Qt::CaseInsensitive) == 0 ||
               desktop.startsWith(name + u'-', Qt::CaseInsensitive);  // GNOME-Classic
    });
}

QString ScreenshotPreferences::gnomeShellFolderName() const {
    return GettextCatalog::translate(m_environment.localeFolder, QStringLiteral("gnome-shell"),
                                     m_environment.languages, "Screenshots")
        .value_or(QStringLiteral("Screenshots"));
}

QString ScreenshotPreferences::spectacleFolder() const {
    return iniValue(m_environment.configHome + QStringLiteral("/spectaclerc"),
                    QStringLiteral("Save"), QStringLiteral("defaultSaveLocation"),
                    m_environment.home);
}

QString ScreenshotPreferences::gnomeScreenshotFolder() const {
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

QString ScreenshotPreferences::xfceFolder() const {
    return iniValue(m_environment.configHome + QStringLiteral("/xfce4/xfce4-screenshooter"),
                    QString(), QStringLiteral("screenshot_dir"), m_environment.home);
}

QString ScreenshotPreferences::flameshotFolder() const {
    const QString path = m_environment.configHome + QStringLiteral("/flameshot/flameshot.ini");
    if (!QFileInfo::exists(path)) {
        return QString();
    }
    // Flameshot writes this file with QSettings, so QSettings reads its escapes; its [General]
    // section holds the top-level keys.
    return QSettings(path, QSettings::IniFormat).value(QStringLiteral("savePath")).toString();
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
        return m_environment.home + path.mid(1);
    }
    return path;
}

}  // namespace framlet
