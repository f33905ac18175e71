#pragma once

#include <QByteArrayList>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

namespace framlet {

// The running program on the session bus: it owns the application id as a well-known name, so
// that a second launch finds it, and takes commands from there. Requests arrive as signals on the
// main thread; a search is answered at once by the function given at construction.
class InstanceService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", FRAMLET_APP_ID)

public:
    enum class Claim { owned, taken, noBus };
    // What a search found: file names as the file system spells them, and whether the shelf is
    // still being read, so that a miss may only mean "not yet".
    struct Found {
        QByteArrayList paths;
        bool stillRecognising = false;
    };
    using Searcher = std::function<Found(const QString& text)>;

    // How long a relaunched program waits for the one it replaces to let go of the name.
    static constexpr std::chrono::seconds handOverTimeout{10};

    // The object path the service is exported at.
    static QString objectPath();

    InstanceService(QDBusConnection bus, Searcher search, QObject* parent = nullptr);
    ~InstanceService() override;

    // Exports the service and asks for the name. taken: another instance holds it, so this one
    // should hand its command over and end; noBus: there is no session bus to ask. Given the
    // process id of the instance this one replaces, and that instance holds the name, waits in
    // the bus's queue (up to handOverTimeout) for it to leave and takes the name over.
    Claim claim(std::optional<qint64> replacing = std::nullopt);
    // Gives the name up, so that a successor need not wait for this process to end.
    void release();

public Q_SLOTS:
    Q_SCRIPTABLE void Toggle();
    Q_SCRIPTABLE void Show();
    Q_SCRIPTABLE void Hide();
    Q_SCRIPTABLE void OpenSettings();
    Q_SCRIPTABLE void CheckForUpdates();
    Q_SCRIPTABLE void ResetTour();
    Q_SCRIPTABLE void ResetOnboarding();
    // The paths of the shelf's screenshots whose file name or recognised text holds the text.
    Q_SCRIPTABLE QStringList Search(const QString& text);
    // The same paths as bytes, which a file name need not be valid text for, and whether
    // recognition is still running.
    Q_SCRIPTABLE QByteArrayList SearchPaths(const QString& text, bool& stillRecognising);

Q_SIGNALS:
    void toggleRequested();
    void showRequested();
    void hideRequested();
    void settingsRequested();
    void updateCheckRequested();
    void tourResetRequested();
    void onboardingResetRequested();

private:
    Claim request(QDBusConnectionInterface::ServiceQueueOptions queueing);
    Claim awaitHandOver();
    bool owns() const;

    QDBusConnection m_bus;
    Searcher m_search;
    bool m_exported = false;
};

}  // namespace framlet
