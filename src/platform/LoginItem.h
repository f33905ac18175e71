#pragma once

#include <QString>
#include <optional>

namespace framlet {

// Starting Framlet at login, as an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/framlet.desktop).
class LoginItem {
public:
    // The integer values are printed by the maintenance flags and must not change.
    enum class Status { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

    // The user's own autostart entry for the running executable.
    LoginItem();
    LoginItem(QString entryPath, QString executablePath);

    static QString defaultEntryPath();
    // The absolute path of the running executable, or empty when it cannot be located.
    static QString runningExecutable();

    // Read afresh from the file system on every call.
    Status status() const;
    // An error description when the entry could not be written.
    std::optional<QString> registerItem() const;
    std::optional<QString> unregisterItem() const;

    QString entryPath() const { return m_entryPath; }

    // The autostart entry for an executable, and the Exec argument quoting it needs.
    static QString desktopEntry(const QString& executablePath);
    static QString execArgument(const QString& path);

private:
    QString m_entryPath;
    QString m_executablePath;
};

}  // namespace framlet
