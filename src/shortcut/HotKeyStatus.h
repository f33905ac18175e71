#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace framlet {

// Why the global shortcut is not working, for the settings window: the message of the last failed
// registration, or none while the shortcut is registered. Main thread only.
class HotKeyStatus : public QObject {
    Q_OBJECT

public:
    static HotKeyStatus& shared();

    explicit HotKeyStatus(QObject* parent = nullptr);

    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const std::optional<QString>& message);

Q_SIGNALS:
    void errorMessageChanged();

private:
    std::optional<QString> m_errorMessage;
};

}  // namespace framlet
