#include "shortcut/HotKeyStatus.h"

namespace framlet {

HotKeyStatus& HotKeyStatus::shared() {
    static HotKeyStatus status;
    return status;
}

HotKeyStatus::HotKeyStatus(QObject* parent) : QObject(parent) {
}

void HotKeyStatus::setErrorMessage(const std::optional<QString>& message) {
    if (message == m_errorMessage) {
        return;
    }
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
}

void HotKeyStatus::setDesktopBinding(const std::optional<QString>& description) {
    if (description == m_desktopBinding) {
        return;
    }
    m_desktopBinding = description;
    Q_EMIT desktopBindingChanged();
}

QString HotKeyStatus::desktopBindingText() const {
    if (!m_desktopBinding) {
        return {};
    }
    if (m_desktopBinding->isEmpty()) {
        return QStringLiteral(
            "Your desktop lets you pick the keys in its settings, where \"Show or hide the "
            "Framlet shelf\" is listed.");
    }
    return QStringLiteral("Set by your desktop: ") + *m_desktopBinding;
}

}  // namespace framlet
