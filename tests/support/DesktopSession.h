#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <memory>
#include <utility>

namespace framlet::test {

// A real desktop started headless for a home of the test's own by the scripts in
// tests/desktops/ ("gnome-wayland", "plasma-wayland", "plasma-x11"). The scripts write the
// session's variables to $HOME/session.env and the processes they started to $HOME/pids; the
// session ends by those ids alone, never by a program's name, so other sessions are left alone.
class DesktopSession {
public:
    // The session once the desktop is up; none, and why not, when it did not come up. `options`
    // are variables for the script (PLASMASHELL=1 adds Plasma's panel to KWin).
    static std::unique_ptr<DesktopSession> start(const QString& desktop, const QString& home,
                                                 QString& whyNot, const QStringList& options = {});
    // Ends the processes listed in $HOME/pids.
    ~DesktopSession();

    // This process's environment with the session's variables (from $HOME/session.env) in
    // place of any display, bus or desktop of its own.
    QProcessEnvironment environment() const;

private:
    explicit DesktopSession(QString home) : m_home(std::move(home)) {}

    const QString m_home;
};

}  // namespace framlet::test
