#pragma once

#include <QString>
#include <optional>

#include "platform/GnomeCustomShortcuts.h"
#include "platform/KeyGrabber.h"

namespace framlet {

// The global shortcut as a GNOME custom shortcut that runs this program's `--toggle`: GNOME
// hears the keys whatever window has the keyboard and hands the press to the running instance
// (or starts one). The entry is added only with the user's consent (add()); from then on each
// grab keeps its keys equal to the stored shortcut, until remove(). A grab without the entry
// answers commandNotBound. Presses never reach onPress: they come as the command.
class GnomeShortcutGrabber : public KeyGrabber {
    Q_OBJECT

public:
    static inline const QString entryPath =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/framlet/");
    static inline const QString entryName = QStringLiteral("Framlet shelf");

    // GNOME's notation of a shortcut ("<Super><Shift>2"), empty for an unknown key.
    static QString accelerator(std::uint32_t virtualKeyCode, std::uint32_t carbonModifiers);
    // The command line that toggles the shelf of the program at `executable`: `framlet --toggle`
    // when that is the `framlet` found in PATH, else the path quoted for a shell.
    static QString toggleCommand(const QString& executable);

    GnomeShortcutGrabber(GnomeCustomShortcuts shortcuts, QString command,
                         QObject* parent = nullptr);

    Result grab(std::uint32_t virtualKeyCode, std::uint32_t carbonModifiers,
                std::function<void()> onPress) override;
    // The entry stays: GNOME's command still reaches, or starts, the program.
    void ungrab(Handle) override {}

    // Whether GNOME's list holds the entry.
    bool isAdded() const;
    // With the user's consent: adds the entry with the keys of the last grab.
    bool add();
    // Takes the entry away again; other custom shortcuts stay as they are.
    bool remove();

private:
    bool writeEntry();

    GnomeCustomShortcuts m_shortcuts;
    QString m_command;
    QString m_accelerator;
    Handle m_nextHandle = 1;
};

}  // namespace framlet
