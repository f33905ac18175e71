#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace framlet {

// The running program on the session bus: it owns the application id as a well-known name, so
// that a second launch finds it, and takes commands from there. Requests arrive as signals on the
// main thread; a search is answered at once by the function given at construction.
class InstanceService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", FRAMLET_APP_ID)

public:
    enum class Claim { owned, taken, noBus };
    using Searcher = std::function<QStringList(const QString& text)>;

    // The object path the service is exported at.
    static QString objectPath();

    InstanceService(QDBusConnection bus, Searcher search, QObject* parent = nullptr);
    ~InstanceService() override;

    // Exports the service and asks for the name. taken: another instance holds it, so this one
    // should hand its command over and end; noBus: there is no session bus to ask.
    Claim claim();

public Q_SLOTS:
    Q_SCRIPTABLE void Toggle();
    Q_SCRIPTABLE void Show();
    Q_SCRIPTABLE void Hide();
    Q_SCRIPTABLE void OpenSettings();
    // The paths of the shelf's screenshots whose file name or recognised text holds the text.
    Q_SCRIPTABLE QStringList Search(const QString& text);

Q_SIGNALS:
    void toggleRequested();
    void showRequested();
    void hideRequested();
    void settingsRequested();

private:
    QDBusConnection m_bus;
    Searcher m_search;
    bool m_exported = false;
};

}  // namespace framlet
