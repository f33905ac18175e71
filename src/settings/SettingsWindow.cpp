#include "settings/SettingsWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/DebugLog.h"
#include "platform/widgets/TaskbarPresence.h"
#include "settings/SettingsServices.h"
#include "settings/SettingsView.h"
#include "settings/TextScale.h"
#include "settings/ThemePalette.h"

namespace framlet {

SettingsWindow::SettingsWindow(const SettingsServices& services)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowStaysOnTopHint)
    , m_view(new SettingsView(services)) {
    setWindowTitle(title());
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFixedSize(TextScale::grown(SettingsView::contentSize, font()));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    services.theme.follow(this);
    services.taskbar.add(this);
}

QString SettingsWindow::title() {
    return QStringLiteral("Framlet Settings");
}

void SettingsWindow::present() {
    show();
    raise();
    activateWindow();
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    DebugLog::log(QStringLiteral("settings windowShouldClose → orderOut"));
    event->ignore();
    hide();
}

}  // namespace framlet
