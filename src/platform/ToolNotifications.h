#pragma once

#include <QString>
#include <optional>

namespace framlet {

// Whether the screenshot tool shows its own notification after a capture, read from and written
// to that tool's settings: Spectacle's entry in Plasma's notification settings (plasmanotifyrc,
// [Applications][org.kde.spectacle] ShowPopups), Flameshot's showDesktopNotification. Other tools
// (GNOME Shell, the Xfce screenshooter, none found) have no such setting.
//
// The files are edited as text and replaced atomically, so the tool's other keys and comments
// survive; no child process runs.
class ToolNotifications {
public:
    // tool: a tool name of ScreenshotPreferences::Choice ("spectacle", "flameshot", ...), empty
    // when none was found. configHome: the folder of the settings files (XDG_CONFIG_HOME).
    ToolNotifications(QString tool, QString configHome);
    // The tool's settings in the user's own configuration folder.
    explicit ToolNotifications(QString tool);

    // Whether the tool has a notification setting this class can change.
    bool isAvailable() const;
    // Why the setting cannot be changed, for the settings window; empty when it can.
    QString unavailableReason() const;

    // The tool's notification is turned off. False when unavailable, or when the file or key is
    // missing or unreadable (the tools show their notification by default).
    bool isSuppressed() const;
    // Turns the notification off (true) or on; an error description when that failed. Plasma is
    // told to reread its notification settings.
    std::optional<QString> setSuppressed(bool suppressed) const;

    QString settingsFile() const;

private:
    struct Setting {
        QString file;  // relative to the configuration folder
        QString group;
        QString key;
    };
    std::optional<Setting> setting() const;
    void announceChange(const Setting& setting) const;

    QString m_tool;
    QString m_configHome;
};

}  // namespace framlet
