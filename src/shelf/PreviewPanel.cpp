#include "shelf/PreviewPanel.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "shelf/PreviewImageView.h"

namespace framlet {

PreviewPanel::PreviewPanel()
    : AllWorkspacesWindow(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
    , m_imageView(new PreviewImageView) {
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_imageView);
}

void PreviewPanel::closeEvent(QCloseEvent* event) {
    event->ignore();
    Q_EMIT closeRequested();
}

}  // namespace framlet
