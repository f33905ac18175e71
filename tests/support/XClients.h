#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace framlet::test {

// Runs xdotool on the private display and waits for it to finish; true when it succeeded.
bool xdotool(const QStringList& arguments);
// Presses and releases a key combination as a user would ("super+shift+2").
bool pressKeys(const QString& combination);

// A press (and release) of a mouse button at a global position, as a user would make it.
bool clickAt(QPoint position, int button = 1);

// The workspace the window manager shows, counted from 0.
int currentDesktop();

// The named properties of a window as xprop prints them.
QString windowProperties(WId window, const QStringList& names);

// Whether the X server shows the window now (xwininfo's "IsViewable").
bool isViewable(WId window);

// The window's position on the screen as the X server has it, frame or not.
QPoint absolutePosition(WId window);

// A window of another application (xev), for clicks that belong to someone else.
class OtherApplication {
public:
    explicit OtherApplication(const QRect& geometry);
    ~OtherApplication();
    OtherApplication(const OtherApplication&) = delete;
    OtherApplication& operator=(const OtherApplication&) = delete;

    // Waits until the window is mapped; its X id, or 0.
    WId waitForWindow();

private:
    QProcess m_process;
    QString m_name;
};

}  // namespace framlet::test
