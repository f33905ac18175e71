#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <optional>

namespace framlet::test {

// A real desktop started headless for a home of the test's own by the scripts in
// tests/desktops/ ("gnome-wayland", "plasma-wayland", "plasma-x11"). The scripts write the
// session's variables to $HOME/session.env and the processes they started to $HOME/pids; the
// session ends by those ids alone, never by a program's name, so other sessions are left alone.
class DesktopSession {
public:
    // `options` are variables for the script (PLASMASHELL=1 adds Plasma's panel to KWin).
    static std::optional<DesktopSession> start(const QString& desktop, const QString& home,
                                               QString* whyNot = nullptr,
                                               const QStringList& options = {});

    DesktopSession(DesktopSession&& other) noexcept;
    DesktopSession& operator=(DesktopSession&& other) noexcept;
    ~DesktopSession();

    // This process's environment with the session's variables (from $HOME/session.env) in
    // place of any display, bus or desktop of its own.
    QProcessEnvironment environment() const;
    // Ends the processes listed in $HOME/pids; nothing once stopped.
    void stop();

private:
    explicit DesktopSession(QString home) : m_home(std::move(home)) {}

    QString m_home;  // empty once stopped
};

}  // namespace framlet::test
