#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QDBusMessage;
class QWidget;

namespace framlet {

// Asks the user for one folder, without blocking: the desktop's own chooser through the
// xdg-desktop-portal (org.freedesktop.portal.FileChooser) where a portal is on the session bus,
// Qt's directory dialog otherwise or when the portal fails. The answer comes once, on the main
// thread: the chosen folder's path, or none when the user cancelled. Either way the window the
// chooser belongs to takes no input until the answer has come, as under any modal dialog.
class FolderChooser : public QObject {
    Q_OBJECT

public:
    using Answer = std::function<void(const std::optional<QString>& folder)>;

    explicit FolderChooser(QObject* parent = nullptr);
    ~FolderChooser() override;

    // parent: the window the chooser belongs to (may be null). prompt: the accept button's label.
    // While a choice is open a new one is refused: the open one is brought to the front where it
    // can be, and its own answer still comes.
    void choose(QWidget* parent, const QString& title, const QString& prompt, Answer answer);
    // The folder the next choice starts in; the chooser's own choice when empty.
    void setStartFolder(const QString& folder) { m_startFolder = folder; }

    static bool portalAvailable();

private Q_SLOTS:
    void portalResponse(uint response, const QVariantMap& results);

private:
    void askPortal();
    void portalAnswered(const QDBusMessage& reply);
    void portalFailed(const QString& reason);
    void watchRequest(const QString& handle);
    void unwatchRequest();
    void askDialog();
    void blockParent();
    void finish(const std::optional<QString>& folder);

    QPointer<QWidget> m_parent;
    QPointer<QWidget> m_dialog;   // Qt's dialog while it is open
    QPointer<QWidget> m_standIn;  // blocks the parent while the portal's dialog is open
    bool m_open = false;
    QString m_title;
    QString m_prompt;
    QString m_startFolder;
    Answer m_answer;
    QString m_request;  // the portal's Request object path being watched
    quint64 m_generation = 0;
};

}  // namespace framlet
