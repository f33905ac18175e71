#pragma once

#include <QString>
#include <optional>

namespace framlet {

// Starting Framlet at login, as an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/framlet.desktop).
//
// The entry is the user's file as much as Framlet's: people edit it, or keep it in a dotfiles
// folder behind a link. Registering changes only Exec, Hidden and X-GNOME-Autostart-enabled (and a
// TryExec naming a program that is gone) and keeps every other byte; the file is replaced
// atomically through a link, never in its place. Unregistering deletes only the entry exactly as
// Framlet writes it (a regular file whose every byte is desktopEntry() of its own Exec); any other
// entry is turned off with Hidden=true.
class LoginItem {
public:
    // The integer values are printed by the maintenance flags and must not change.
    enum class Status { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

    // The user's own autostart entry for the running executable.
    LoginItem();
    LoginItem(QString entryPath, QString executablePath);

    static QString defaultEntryPath();
    // The absolute path of the program to start at login, or empty when it cannot be located. Run
    // from an AppImage, that is the AppImage file ($APPIMAGE), never the temporary mount the
    // program runs from, which is gone once it quits.
    static QString runningExecutable();

    // Read afresh from the file system on every call. Enabled only when the entry would start a
    // program that exists: its Exec (and TryExec) names an executable file, a bare name found in
    // PATH. One
    // turned off (Hidden=true, X-GNOME-Autostart-enabled=false) or unreadable requires approval.
    Status status() const;
    // An error description when the entry could not be written; the old entry is then whole.
    std::optional<QString> registerItem() const;
    std::optional<QString> unregisterItem() const;

    QString entryPath() const { return m_entryPath; }

    // The autostart entry for an executable, and the Exec argument quoting it needs.
    static QString desktopEntry(const QString& executablePath);
    static QString execArgument(const QString& path);
    // The program an Exec value (as it stands in the file) starts: its first argument with the
    // desktop entry's escapes and quoting undone.
    static QString execProgram(const QString& exec);

private:
    QByteArray enabledEntry(const QByteArray& entry) const;

    QString m_entryPath;
    QString m_executablePath;
};

}  // namespace framlet
