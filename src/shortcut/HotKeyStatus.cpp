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

}  // namespace framlet
