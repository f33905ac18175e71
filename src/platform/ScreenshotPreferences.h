#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace framlet {

// Where the desktop's screenshot tool saves its files, as that tool itself would decide: its
// setting when that names a folder it can use, otherwise its own default. Spectacle on KDE, the
// Shell's tool and GNOME Screenshot on GNOME, the screenshooter on Xfce, and Flameshot on any
// desktop.
class ScreenshotPreferences {
public:
    // Everything the answer depends on, so tests can give their own.
    struct Environment {
        QString desktop;  // XDG_CURRENT_DESKTOP: names separated by colons
        QString home;
        QString configHome;          // XDG_CONFIG_HOME
        QString userDirsPictures;    // XDG_PICTURES_DIR of user-dirs.dirs; empty when it names none
        QString localeFolder;        // where other programs' translations live
        QStringList languages;       // the user's languages, most preferred first
        QString gsettings;           // the gsettings program; empty when it is not installed
        QStringList installedTools;  // which of `knownTools` are installed

        static Environment current();
    };

    // The programs this class knows the settings of.
    static const QStringList knownTools;

    // The answer and how it was reached, for the log.
    struct Choice {
        QString tool;     // the program, e.g. "flameshot"
        QString setting;  // what was read, e.g. `savePath="/x"`, "no settings file"
        QString folder;
    };

    explicit ScreenshotPreferences(Environment environment = Environment::current());

    // The tool this desktop's screenshots come from and the folder it saves to. The desktop's
    // own tool comes first, then Flameshot; a tool's set folder beats another's default. None
    // when no tool is found.
    std::optional<Choice> choice() const;
    // The folder of `choice()`, with a leading "~" expanded where the tool expands it.
    std::optional<QString> location() const;

    // A folder the desktop's screenshots also land in, and a pattern (QRegularExpression) of the
    // names they get there: GNOME Screenshot saves into its set folder, else the Pictures folder
    // (else home), while the Shell saves into Pictures/Screenshots. Only its own names count, as
    // that folder holds every other picture too. None elsewhere, or without GNOME Screenshot.
    struct NamedFolder {
        QString tool;
        QString folder;
        QString namePattern;
    };
    std::optional<NamedFolder> secondFolder() const;
    // The names GNOME Screenshot gives its files ("Screenshot from 2026-12-07 10-11-12.png",
    // "… - 2.png" when taken, and in the user's languages), as a QRegularExpression pattern.
    QString gnomeScreenshotNames() const;

    // The files whose change can move the location: the tools' settings and user-dirs.dirs.
    QStringList settingsFiles() const;

    // The translated name gnome-shell gives the screenshot folder in the user's language.
    QString gnomeShellFolderName() const;

    // XDG_PICTURES_DIR from a user-dirs.dirs file, "$HOME" expanded; empty when the file names
    // none (both GLib and Qt accept only "$HOME/…" and absolute paths there).
    static QString picturesFromUserDirs(const QString& path, const QString& home);

private:
    // One tool's answer: its set folder when usable, else its default.
    struct ToolAnswer {
        Choice choice;
        bool fromSetting = false;  // the tool's setting named a usable folder
        bool present = false;      // installed, or its settings file exists
        bool hasSettingsFile = false;
    };

    std::optional<ToolAnswer> desktopTool() const;
    bool desktopIs(const QString& name) const;
    bool installed(const QString& tool) const;

    ToolAnswer spectacle() const;
    ToolAnswer gnome() const;
    ToolAnswer xfceScreenshooter() const;
    ToolAnswer flameshot() const;
    QString gnomeScreenshotSetting() const;
    // The Pictures folder as Qt programs see it: user-dirs.dirs, else ~/Pictures.
    QString qtPictures() const;
    QString expanded(const QString& setting) const;

    Environment m_environment;
};

}  // namespace framlet
