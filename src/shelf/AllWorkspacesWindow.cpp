#include "shelf/AllWorkspacesWindow.h"

#include <QWindow>

#include "platform/WindowHints.h"

namespace framlet {

AllWorkspacesWindow::AllWorkspacesWindow(Qt::WindowFlags flags) : QWidget(nullptr, flags) {
}

void AllWorkspacesWindow::setVisible(bool visible) {
    const bool mapping = visible && !isVisible();
    if (mapping) {
        create();
        WindowHints::keepOnAllWorkspaces(windowHandle());
    }
    QWidget::setVisible(visible);
    if (mapping) {
        WindowHints::keepOnAllWorkspaces(windowHandle());
    }
}

}  // namespace framlet
