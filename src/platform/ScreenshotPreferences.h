#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace framlet {

// Where the desktop's screenshot tool saves its files, read from that tool's own settings:
// Spectacle on KDE, the Shell's tool and GNOME Screenshot on GNOME, the screenshooter on Xfce,
// and Flameshot on any desktop.
class ScreenshotPreferences {
public:
    // Everything the answer depends on, so tests can give their own.
    struct Environment {
        QString desktop;  // XDG_CURRENT_DESKTOP: names separated by colons
        QString home;
        QString configHome;      // XDG_CONFIG_HOME
        QString picturesFolder;  // the XDG pictures folder
        QString localeFolder;    // where other programs' translations live
        QStringList languages;   // the user's languages, most preferred first
        QString gsettings;       // the gsettings program; empty when it is not installed

        static Environment current();
    };

    explicit ScreenshotPreferences(Environment environment = Environment::current());

    // The first folder a screenshot tool of this desktop is set to save to that exists, with a
    // leading "~" expanded. When none exists: on GNOME the Shell's folder, which its first
    // capture creates; elsewhere none.
    std::optional<QString> location() const;

    // The translated name gnome-shell gives the screenshot folder in the user's language.
    QString gnomeShellFolderName() const;

private:
    using Source = std::function<QString()>;
    QList<Source> sources() const;
    bool desktopIs(const QString& name) const;

    QString spectacleFolder() const;
    QString gnomeScreenshotFolder() const;
    QString xfceFolder() const;
    QString flameshotFolder() const;
    QString expanded(const QString& setting) const;

    Environment m_environment;
};

}  // namespace framlet
