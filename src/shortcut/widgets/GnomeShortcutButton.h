#pragma once

#include <QPushButton>

namespace framlet {

class HotKeyStatus;

// "Add to GNOME Shortcuts": the user's consent to a GNOME custom shortcut that runs
// `framlet --toggle` on the stored keys. Shown only where the shortcut goes through GNOME's
// custom shortcuts and the entry is not there yet.
class GnomeShortcutButton : public QPushButton {
    Q_OBJECT

public:
    explicit GnomeShortcutButton(HotKeyStatus& status, QWidget* parent = nullptr);

    // Shows or hides the button as the entry is missing or there; call it once it is placed.
    void refresh();

private:
    HotKeyStatus& m_status;
};

}  // namespace framlet
