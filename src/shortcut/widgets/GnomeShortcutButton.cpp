#include "shortcut/widgets/GnomeShortcutButton.h"

#include "platform/GnomeShortcutGrabber.h"
#include "shortcut/HotKeyStatus.h"

namespace framlet {

GnomeShortcutButton::GnomeShortcutButton(HotKeyStatus& status, QWidget* parent)
    : QPushButton(QStringLiteral("Add to GNOME Shortcuts"), parent), m_status(status) {
    setToolTip(QStringLiteral(
        "Adds a custom shortcut to GNOME's keyboard settings that runs \"framlet --toggle\"."));
    connect(this, &QPushButton::clicked, this, [this] {
        if (GnomeShortcutGrabber* gnome = m_status.gnomeShortcut()) {
            gnome->add();
        }
        refresh();
    });
    connect(&m_status, &HotKeyStatus::errorMessageChanged, this, &GnomeShortcutButton::refresh);
    setVisible(false);  // until refresh(), once it has a place: shown alone it would be a window
}

void GnomeShortcutButton::refresh() {
    // Offered while the shortcut waits for the entry; registered means it is there.
    const GnomeShortcutGrabber* gnome = m_status.gnomeShortcut();
    if (!parentWidget()) {
        return;
    }
    setVisible(gnome && m_status.errorMessage().has_value() && !gnome->isAdded());
}

}  // namespace framlet
