#include "shelf/KeyablePanel.h"

#include <QHideEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "platform/X11.h"

namespace framlet {

KeyablePanel::KeyablePanel(QWidget* content)
    : AllWorkspacesWindow(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_content(content) {
    // Without a compositing manager a translucent window shows black wherever it is not painted.
    setAttribute(Qt::WA_TranslucentBackground, X11::compositingManagerRunning());
    setWindowTitle(QStringLiteral("Framlet Shelf"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
}

void KeyablePanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        Q_EMIT hidden();
    }
}

}  // namespace framlet
