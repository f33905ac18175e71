#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "updates/UpdateController.h"
#include "updates/UpdateInstaller.h"

class QNetworkAccessManager;

namespace framlet {

class FileManager;
class Settings;
class Timer;
class TimerSource;

// What the build and its environment say about updates: the counterpart of the values an
// application bundle carries.
struct UpdaterSetup {
    QString version;    // empty when the build has none
    QString publicKey;  // base64 Ed25519 key; anything but 32 bytes leaves updates off
    QString feedUrl;    // the build's feed
    QString channel;    // "beta" opts into the beta channel
    std::optional<QString> feedOverride;  // FRAMLET_FEED_URL, when set at all

    // The values compiled into this build, with FRAMLET_FEED_URL from the environment.
    static UpdaterSetup fromBuild();
};

// The program's one contact with the update framework. It arms the framework only with a usable
// signing key, turns the framework's reports into one small status for the settings window, and
// gives the shelf's update button its two-stage check: a silent probe first, the update window
// only when the probe found something.
class Updater : public QObject {
    Q_OBJECT

public:
    class Status {
    public:
        enum class Kind { idle, checking, upToDate, updateFound, failed };

        static Status idle() { return {Kind::idle, {}}; }
        static Status checking() { return {Kind::checking, {}}; }
        static Status upToDate() { return {Kind::upToDate, {}}; }
        static Status updateFound(const QString& version) { return {Kind::updateFound, version}; }
        static Status failed(const QString& message) { return {Kind::failed, message}; }

        Kind kind() const { return m_kind; }
        QString text() const;
        bool operator==(const Status&) const = default;

    private:
        Status(Kind kind, QString payload) : m_kind(kind), m_payload(std::move(payload)) {}
        Kind m_kind;
        QString m_payload;
    };

    // How long a final status stays before it returns to idle.
    static constexpr std::chrono::seconds statusShownFor{10};

    Updater(UpdaterSetup setup, Settings& settings, QNetworkAccessManager& network,
            TimerSource& timers, QObject* parent = nullptr);
    ~Updater() override;

    void start();
    void checkForUpdates();

    Status status() const { return m_status; }
    bool isAvailable() const { return m_isAvailable; }
    QString currentVersion() const;
    UpdateController* controller() const { return m_controller.get(); }
    // An installer that checks downloads against this build's signing key (once armed).
    std::unique_ptr<UpdateInstaller> makeInstaller(UpdateInstaller::Places places,
                                                   FileManager& fileManager,
                                                   std::chrono::milliseconds timeout);

    // The General tab's rows: on only with a controller.
    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool checks);
    std::optional<QDateTime> lastUpdateCheckDate() const;

Q_SIGNALS:
    // Just before the update window or an alert comes forward (the shelf hides).
    void updateWillShow();
    void statusChanged(const framlet::Updater::Status& status);
    void availabilityChanged(bool available);
    // The update window should come forward with this item.
    void updateShown(const framlet::AppcastItem& item, bool userInitiated);

private:
    QUrl feedUrl() const;
    QSet<QString> allowedChannels() const;
    void connectController();
    void setStatus(const Status& status);
    void settle(const Status& status);
    void aborted(const UpdateError& error);
    void cycleFinished();
    void willHandleShowingUpdate(const AppcastItem& item, bool userInitiated);

    UpdaterSetup m_setup;
    Settings& m_settings;
    QNetworkAccessManager& m_network;
    TimerSource& m_timers;
    Status m_status = Status::idle();
    std::unique_ptr<UpdateController> m_controller;
    std::unique_ptr<Timer> m_statusReset;
    QByteArray m_publicKey;
    bool m_isAvailable = false;
    bool m_escalateWhenSessionEnds = false;
};

}  // namespace framlet
