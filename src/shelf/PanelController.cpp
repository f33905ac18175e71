#include "shelf/PanelController.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QScreen>

#include "platform/OutsideClickMonitor.h"
#include "shelf/KeyablePanel.h"

namespace framlet {

PanelController::PanelController(ContentMaker makeContent, QObject* parent)
    : QObject(parent)
    , m_makeContent(std::move(makeContent))
    , m_outsideClicks(
          new OutsideClickMonitor(OutsideClickMonitor::Method::rawButtonPresses, this)) {
    connect(m_outsideClicks, &OutsideClickMonitor::clickedOutside, this,
            &PanelController::hideAfterOutsideClick);
}

PanelController::~PanelController() {
    // The owner is going away: it is told nothing more.
    if (m_panel) {
        m_panel->disconnect(this);
    }
}

void PanelController::hideAfterOutsideClick() {
    // The shelf's own menu, a question it asks and a drag out of it may take the activation
    // away for as long as they last; the shelf stays for them.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget() ||
        (m_panel && m_panel->findChild<QDrag*>())) {
        return;
    }
    m_sinceOutsideClickHid.start();
    hide();
}

void PanelController::toggle(const PanelAnchor& relativeTo) {
    constexpr qint64 kTrayClickWindowMs = 300;
    const bool justHidByOutsideClick =
        m_sinceOutsideClickHid.isValid() && m_sinceOutsideClickHid.elapsed() < kTrayClickWindowMs;
    m_sinceOutsideClickHid.invalidate();
    if (justHidByOutsideClick && !m_shown) {
        return;
    }
    if (m_shown) {
        hide();
    } else {
        show(relativeTo);
    }
}

void PanelController::show(const PanelAnchor& relativeTo) {
    if (!m_panel) {
        makePanel();
    }
    position(relativeTo);
    const bool opening = !m_shown;
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
    if (!opening) {
        return;
    }
    m_shown = true;
    startWatching();
    Q_EMIT opened();
}

void PanelController::hide() {
    if (m_shown) {
        m_panel->hide();  // the rest follows in panelHidden()
    }
}

void PanelController::invalidateContent() {
    hide();
    if (m_panel) {
        m_panel->disconnect(this);
        // The content may be on the call stack (a button of the shelf asking for this).
        m_panel.release()->deleteLater();
    }
}

bool PanelController::eventFilter(QObject* watched, QEvent* event) {
    // Escape belongs to the shelf only while the shelf is the active window; in the preview or
    // the settings window it is theirs, and in a menu over the shelf the menu's.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_panel &&
        QApplication::activeWindow() == m_panel.get() && !QApplication::activePopupWidget()) {
        hide();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void PanelController::makePanel() {
    QWidget* content = m_makeContent ? m_makeContent() : nullptr;
    m_panel = std::make_unique<KeyablePanel>(content ? content : new QWidget);
    connect(m_panel.get(), &KeyablePanel::hidden, this, &PanelController::panelHidden);
}

void PanelController::position(const PanelAnchor& relativeTo) {
    QScreen* screen = screenFor(relativeTo);
    if (!screen) {
        return;  // nowhere better to go than where it is
    }
    const QSize size = PanelPlacement::panelSize(m_panel->content()->sizeHint());
    const QRect workArea = screen->availableGeometry();
    m_panel->setGeometry(
        PanelPlacement::frame(size, workArea,
                              relativeTo.iconGeometry.value_or(
                                  PanelPlacement::panelCorner(screen->geometry(), workArea))));
}

QScreen* PanelController::screenFor(const PanelAnchor& relativeTo) {
    if (relativeTo.screen) {
        return relativeTo.screen;
    }
    if (relativeTo.iconGeometry) {
        if (QScreen* screen = QGuiApplication::screenAt(relativeTo.iconGeometry->center())) {
            return screen;
        }
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        return screen;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

void PanelController::startWatching() {
    m_outsideClicks->start();
    qApp->installEventFilter(this);
}

void PanelController::stopWatching() {
    qApp->removeEventFilter(this);
    m_outsideClicks->stop();
}

void PanelController::panelHidden() {
    if (!m_shown) {
        return;
    }
    m_shown = false;
    stopWatching();
    Q_EMIT hidden();
}

}  // namespace framlet
