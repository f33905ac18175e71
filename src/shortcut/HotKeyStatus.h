#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace framlet {

class GnomeShortcutGrabber;

// What the settings window says about the global shortcut: why it is not working (the message
// of the last failed registration, or none while it is registered), the keys a desktop that
// picks them itself has bound, and whether GNOME could run the command for it. Main thread only.
class HotKeyStatus : public QObject {
    Q_OBJECT

public:
    static HotKeyStatus& shared();

    explicit HotKeyStatus(QObject* parent = nullptr);

    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const std::optional<QString>& message);

    // The desktop's description of the keys it bound ("Meta+Shift+2"); empty while it waits for
    // the user to pick them in its settings; none when the stored shortcut is what counts.
    const std::optional<QString>& desktopBinding() const { return m_desktopBinding; }
    void setDesktopBinding(const std::optional<QString>& description);
    // The line shown for desktopBinding(); empty without one.
    QString desktopBindingText() const;

    // GNOME's custom shortcuts, when the shortcut goes through them; null elsewhere.
    GnomeShortcutGrabber* gnomeShortcut() const { return m_gnomeShortcut; }
    void setGnomeShortcut(GnomeShortcutGrabber* grabber) { m_gnomeShortcut = grabber; }

Q_SIGNALS:
    void errorMessageChanged();
    void desktopBindingChanged();

private:
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_desktopBinding;
    GnomeShortcutGrabber* m_gnomeShortcut = nullptr;
};

}  // namespace framlet
