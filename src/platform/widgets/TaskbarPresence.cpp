#include "platform/widgets/TaskbarPresence.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/WindowHints.h"

namespace framlet {

TaskbarPresence::TaskbarPresence(bool shown, QObject* parent) : QObject(parent), m_shown(shown) {
}

void TaskbarPresence::setShown(bool shown) {
    m_shown = shown;
    m_windows.removeAll(nullptr);
    for (const QPointer<QWidget>& window : std::as_const(m_windows)) {
        apply(window);
    }
}

Qt::WindowType TaskbarPresence::windowType() const {
    return m_shown ? Qt::Window : Qt::Tool;
}

void TaskbarPresence::add(QWidget* window) {
    m_windows.append(window);
    window->installEventFilter(this);
    apply(window);
}

void TaskbarPresence::apply(QWidget* window) const {
    if (window->windowType() != windowType()) {
        // Qt hides a window whose type changes and makes it anew: show it again where it was.
        const bool visible = window->isVisible();
        const QRect geometry = window->geometry();
        window->setWindowFlags((window->windowFlags() & ~Qt::WindowType_Mask) | windowType());
        if (visible) {
            window->setGeometry(geometry);
            window->show();
        }
    }
    applyHints(window);
}

void TaskbarPresence::applyHints(QWidget* window) const {
    if (QWindow* handle = window->windowHandle()) {
        WindowHints::setSkipTaskbar(handle, !m_shown);
    }
}

bool TaskbarPresence::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        // Before mapping, for the window manager to read as it manages the window, and once
        // more after, since the state of a previous unmap may still be being cleared.
        auto* window = static_cast<QWidget*>(watched);
        applyHints(window);
        QTimer::singleShot(0, window, [self = QPointer<TaskbarPresence>(this), window] {
            if (self) {
                self->applyHints(window);
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace framlet
