#pragma once

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

#include "updates/Appcast.h"
#include "updates/UpdateTransfer.h"

class QNetworkAccessManager;

namespace framlet {

class Settings;
class Timer;
class TimerSource;

// Why a check ended without an update to offer.
struct UpdateError {
    // The code for "the feed offers nothing newer"; every other outcome is a real failure.
    static constexpr int noUpdate = 1001;
    int code = 0;
    QString description;
};

// The update framework: reads the feed, picks the update, keeps the schedule of automatic checks
// and asks for the update window. Three kinds of check differ only in what follows a find: a
// user-initiated check asks to show the update, a probe only reports it, a background check
// (scheduled or asked for at launch) shows it unless the user skipped that version.
class UpdateController : public QObject {
    Q_OBJECT

public:
    enum class CheckKind { userInitiated, probe, background };
    Q_ENUM(CheckKind)

    struct Configuration {
        QUrl feedUrl;
        QString runningVersion;
        QSet<QString> allowedChannels;
        UpdateTransfer::Limits feedLimits;
    };

    // Automatic checks run at most this often.
    static constexpr std::chrono::hours checkInterval{24};

    UpdateController(Configuration configuration, Settings& settings,
                     QNetworkAccessManager& network, TimerSource& timers,
                     std::function<QDateTime()> now, QObject* parent = nullptr);
    ~UpdateController() override;

    QUrl feedUrl() const { return m_configuration.feedUrl; }

    void checkForUpdates();
    void checkForUpdateInformation();
    void checkForUpdatesInBackground();
    bool sessionInProgress() const { return m_transfer != nullptr; }

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool checks);
    std::optional<QDateTime> lastUpdateCheckDate() const;
    // A background check no longer offers this version (nor an older one); a newer one is
    // offered again.
    void skipVersion(const AppcastItem& item);

Q_SIGNALS:
    void foundValidUpdate(const framlet::AppcastItem& item);
    void didNotFindUpdate();
    void abortedWithError(const framlet::UpdateError& error);
    void finishedUpdateCycle(framlet::UpdateController::CheckKind kind);
    // The user driver's cue: present the update window for this item.
    void showUpdateRequested(const framlet::AppcastItem& item, bool userInitiated);

private:
    void check(CheckKind kind);
    void feedArrived(const QByteArray& feed);
    bool isSkipped(const AppcastItem& item) const;
    void found(const AppcastItem& item);
    void abort(const UpdateError& error);
    void endCycle();
    void scheduleNextCheck();

    Configuration m_configuration;
    Settings& m_settings;
    QNetworkAccessManager& m_network;
    TimerSource& m_timers;
    std::function<QDateTime()> m_now;
    std::unique_ptr<Timer> m_schedule;
    std::unique_ptr<UpdateTransfer> m_transfer;
    CheckKind m_kind = CheckKind::probe;
};

}  // namespace framlet

Q_DECLARE_METATYPE(framlet::UpdateError)
