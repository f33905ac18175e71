#include "PreviewPanel.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "PreviewImageView.h"
#include "WindowHints.h"

namespace framlet {

PreviewPanel::PreviewPanel()
    : QWidget(nullptr,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_imageView(new PreviewImageView) {
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_imageView);
}

void PreviewPanel::setVisible(bool visible) {
    // As for the shelf: the hints go with every mapping.
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

void PreviewPanel::closeEvent(QCloseEvent* event) {
    event->ignore();
    Q_EMIT closeRequested();
}

}  // namespace framlet
