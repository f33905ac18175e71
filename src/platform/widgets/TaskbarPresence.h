#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

namespace framlet {

// Whether the program's windows show in the taskbar and the task switcher. Shown, the windows
// added here (settings, onboarding, preview) are normal windows with an entry there; not shown,
// they are tool windows that skip taskbars and pagers, as a tray program's windows do. A change
// applies at once to every added window, shown or hidden. Main thread only.
class TaskbarPresence : public QObject {
    Q_OBJECT

public:
    explicit TaskbarPresence(bool shown = false, QObject* parent = nullptr);

    bool isShown() const { return m_shown; }
    void setShown(bool shown);

    // Applies the presence to a top-level window now and at each change, for as long as the
    // window lives. The window keeps its other flags (title, stays on top, ...).
    void add(QWidget* window);

    // The window type a window added here has now: Qt::Window or Qt::Tool.
    Qt::WindowType windowType() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(QWidget* window) const;
    void applyHints(QWidget* window) const;

    QList<QPointer<QWidget>> m_windows;
    bool m_shown;
};

}  // namespace framlet
