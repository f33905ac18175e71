#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>

#include "shelf/PanelPlacement.h"

class QScreen;
class QWidget;

namespace framlet {

class KeyablePanel;
class OutsideClickMonitor;

// Owns the shelf's window: makes it on first show and keeps it, places it under the tray icon,
// shows and hides it. While it is shown, a mouse press in another application or Escape in the
// panel hides it. The owner hears of every opening and hiding exactly once.
class PanelController : public QObject {
    Q_OBJECT

public:
    using ContentMaker = std::function<QWidget*()>;

    // The maker builds the panel's content each time a panel is made (a null result leaves the
    // panel empty). It runs on the first show and on the first show after invalidateContent().
    explicit PanelController(ContentMaker makeContent, QObject* parent = nullptr);
    ~PanelController() override;

    // Hides a shown panel, shows it otherwise. A toggle that arrives just after a press in
    // another application hid the panel does nothing: it is the click on a tray icon that lives in
    // another process, which meant to close the shelf, not to open it again.
    void toggle(const PanelAnchor& relativeTo = {});
    // Places the panel, brings it to the front and makes it the active window. Calling it while
    // shown only places and activates it again.
    void show(const PanelAnchor& relativeTo = {});
    // Hides a shown panel; does nothing otherwise.
    void hide();
    // Hides the panel and drops it, so the next show makes it with fresh content.
    void invalidateContent();

    bool isShown() const { return m_shown; }
    // Null until the first show and after invalidateContent().
    KeyablePanel* panel() const { return m_panel.get(); }

Q_SIGNALS:
    // The panel was just shown, or just hidden; once per change.
    void opened();
    void hidden();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makePanel();
    void position(const PanelAnchor& relativeTo);
    void startWatching();
    void stopWatching();
    void panelHidden();
    void hideAfterOutsideClick();
    static QScreen* screenFor(const PanelAnchor& relativeTo);

    ContentMaker m_makeContent;
    std::unique_ptr<KeyablePanel> m_panel;
    OutsideClickMonitor* m_outsideClicks;
    bool m_shown = false;
    QElapsedTimer m_sinceOutsideClickHid;
};

}  // namespace framlet
