#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace framlet {

// Whether the screenshot tool shows its own notification after a capture, read from and written
// to that tool's settings: Spectacle's entry in Plasma's notification settings (plasmanotifyrc,
// [Applications][org.kde.spectacle] ShowPopups), Flameshot's showDesktopNotification. Other tools
// (GNOME Shell, the Xfce screenshooter, none found) have no such setting.
//
// The files belong to other programs, so they are edited as bytes under the lock those programs
// take ("<file>.lock", QLockFile's format, as QSettings and KConfig use it) and replaced
// atomically: the tool's other keys, comments and bytes survive, and a write the tool makes at
// the same moment is not lost. Only a regular file is read or written; no child process runs.
class ToolNotifications {
public:
    // tool: a tool name of ScreenshotPreferences::Choice ("spectacle", "flameshot", ...), empty
    // when none was found. configHome: the folder of the settings files (XDG_CONFIG_HOME).
    // systemConfig: the system's folders (XDG_CONFIG_DIRS), where KDE's administrators fix
    // settings for everyone.
    ToolNotifications(QString tool, QString configHome, QStringList systemConfig = {});
    // The tool's settings in the user's own configuration folder.
    explicit ToolNotifications(QString tool);

    // Whether the tool has a notification setting this class can change now: not when its file
    // cannot be read safely, nor when KDE marks the setting immutable ("[$i]"), in the user's file
    // or in one of the system's.
    bool isAvailable() const;
    // Why the setting cannot be changed, for the settings window; empty when it can.
    QString unavailableReason() const;

    // The tool's notification is turned off, as the tool's file says (an immutable value too).
    // False when the tool has no such setting, or when the file or key is missing or unreadable
    // (the tools show their notification by default).
    bool isSuppressed() const;
    // Turns the notification off (true) or on; an error description when that failed, and then
    // the file is as it was. Plasma is told to reread its notification settings.
    std::optional<QString> setSuppressed(bool suppressed) const;

    QString settingsFile() const;

private:
    struct Setting {
        QString file;  // relative to the configuration folder
        QByteArray group;
        QByteArray key;
        bool kconfig = false;  // KConfig's reading of values and "[$i]", else QSettings'
    };
    // The file's bytes as they are now, or why they cannot be used.
    struct Contents {
        QByteArray text;
        QString problem;
    };
    std::optional<Setting> setting() const;
    Contents contents(const Setting& setting) const;
    std::optional<Contents> fixedBySystem(const Setting& setting) const;
    static QString lockedBy(const QString& file);
    std::optional<QString> edit(const Setting& setting, const QByteArray& value) const;
    void announceChange(const Setting& setting) const;

    QString m_tool;
    QString m_configHome;
    QStringList m_systemConfig;
};

}  // namespace framlet
