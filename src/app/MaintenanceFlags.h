#pragma once

#include <QStringList>
#include <cstdio>
#include <optional>

namespace framlet {

class LoginItem;
class Settings;

// The command-line flags that do a maintenance job instead of starting the application. They
// run before any QApplication exists, so they work without a display.
class MaintenanceFlags {
public:
    MaintenanceFlags(const LoginItem& loginItem, Settings& settings, std::FILE* out = stdout,
                     std::FILE* err = stderr);

    // The exit code when a flag did its job; no value when the application should start.
    // "--update-check" only sets FRAMLET_UPDATE_CHECK and lets the rest decide.
    std::optional<int> run(const QStringList& arguments) const;

private:
    int registerLogin() const;
    int unregisterLogin() const;
    int resetOnboarding() const;
    int resetTour() const;
    int loginStatus() const;
    int status() const;
    void print(std::FILE* stream, const QString& line) const;

    const LoginItem& m_loginItem;
    Settings& m_settings;
    std::FILE* m_out;
    std::FILE* m_err;
};

}  // namespace framlet
