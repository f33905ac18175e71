#pragma once

#include "shelf/AllWorkspacesWindow.h"

namespace framlet {

// The shelf's window: frameless, above other windows, on every workspace and out of the taskbar,
// yet able to become the active window like a titled one, so the shelf's search field and keys
// work. The background is translucent; the content paints its own.
class KeyablePanel : public AllWorkspacesWindow {
    Q_OBJECT

public:
    // Takes ownership of the content, which fills the panel.
    explicit KeyablePanel(QWidget* content);

    QWidget* content() const { return m_content; }

Q_SIGNALS:
    // Whatever hid it: its owner, a close request from the window manager, the application
    // quitting.
    void hidden();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* m_content;
};

}  // namespace framlet
