#pragma once

#include <QStringList>
#include <cstdio>
#include <functional>
#include <optional>

namespace framlet {

class LoginItem;
class Settings;

// The command-line flags that do a maintenance job instead of starting the application. They
// run before any QApplication exists, so they work without a display.
class MaintenanceFlags {
public:
    // Hands a command ("ResetTour", "ResetOnboarding") to a running instance; false when none
    // took it. Only asked by flags that end the process.
    using RunningInstance = std::function<bool(const QString& method)>;

    MaintenanceFlags(const LoginItem& loginItem, Settings& settings,
                     RunningInstance runningInstance = {}, std::FILE* out = stdout,
                     std::FILE* err = stderr);

    // The exit code when a flag did its job; no value when the application should start.
    // "--update-check" only sets FRAMLET_UPDATE_CHECK and lets the rest decide. A reset is done
    // by the running instance when there is one, through its own settings, so that what it holds
    // in memory is reset too.
    std::optional<int> run(const QStringList& arguments) const;

private:
    int registerLogin() const;
    int unregisterLogin() const;
    int resetOnboarding() const;
    int resetTour() const;
    int loginStatus() const;
    bool handedToInstance(const QString& method) const;
    int status() const;
    void print(std::FILE* stream, const QString& line) const;

    const LoginItem& m_loginItem;
    Settings& m_settings;
    RunningInstance m_runningInstance;
    std::FILE* m_out;
    std::FILE* m_err;
};

}  // namespace framlet
