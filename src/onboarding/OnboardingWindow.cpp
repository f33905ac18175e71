#include "onboarding/OnboardingWindow.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include "settings/TextScale.h"

namespace framlet {

OnboardingWindow::OnboardingWindow(QWidget* content)
    : AllWorkspacesWindow(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Welcome to Framlet"));
    setFixedSize(TextScale::grown(QSize(width, height), font()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void OnboardingWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    Q_EMIT closeRequested();
}

}  // namespace framlet
