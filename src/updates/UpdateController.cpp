#include "updates/UpdateController.h"

#include "platform/TimerSource.h"
#include "preferences/Settings.h"
#include "updates/Version.h"

namespace framlet {
namespace {

// A due check waits this long after launch, so that it never delays the start-up.
constexpr std::chrono::seconds kFirstCheckDelay{30};

}  // namespace

UpdateController::UpdateController(Configuration configuration, Settings& settings,
                                   QNetworkAccessManager& network, TimerSource& timers,
                                   std::function<QDateTime()> now, QObject* parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_settings(settings)
    , m_network(network)
    , m_timers(timers)
    , m_now(std::move(now))
    , m_schedule(timers.makeTimer()) {
    connect(m_schedule.get(), &Timer::timedOut, this,
            &UpdateController::checkForUpdatesInBackground);
    scheduleNextCheck();
}

UpdateController::~UpdateController() = default;

void UpdateController::checkForUpdates() {
    check(CheckKind::userInitiated);
}

void UpdateController::checkForUpdateInformation() {
    check(CheckKind::probe);
}

void UpdateController::checkForUpdatesInBackground() {
    // A check the user asked for is not replaced by one nobody asked for.
    if (sessionInProgress()) {
        return;
    }
    check(CheckKind::background);
}

bool UpdateController::automaticallyChecksForUpdates() const {
    return m_settings.automaticallyChecksForUpdates();
}

void UpdateController::setAutomaticallyChecksForUpdates(bool checks) {
    m_settings.setAutomaticallyChecksForUpdates(checks);
    scheduleNextCheck();
}

std::optional<QDateTime> UpdateController::lastUpdateCheckDate() const {
    return m_settings.lastUpdateCheckDate();
}

void UpdateController::skipVersion(const AppcastItem& item) {
    m_settings.setSkippedUpdateVersion(item.version);
}

void UpdateController::check(CheckKind kind) {
    m_transfer.reset();  // a newer request replaces the one running
    m_kind = kind;
    m_settings.setLastUpdateCheckDate(m_now());
    m_transfer = std::make_unique<UpdateTransfer>(m_network, m_timers, m_configuration.feedUrl,
                                                  m_configuration.feedLimits);
    connect(m_transfer.get(), &UpdateTransfer::finished, this, &UpdateController::feedArrived);
    connect(m_transfer.get(), &UpdateTransfer::failed, this, [this](const QString& description) {
        abort({0, QStringLiteral("The update feed could not be read (%1).").arg(description)});
    });
    m_transfer->start();
}

void UpdateController::feedArrived(const QByteArray& feed) {
    const auto parsed = Appcast::parse(feed);
    if (const auto* problem = std::get_if<QString>(&parsed)) {
        abort({0, QStringLiteral("The update feed at %1 is unusable: %2.")
                      .arg(m_configuration.feedUrl.toDisplayString(), *problem)});
        return;
    }
    const auto item =
        Appcast::newest(std::get<QList<AppcastItem>>(parsed), m_configuration.runningVersion,
                        m_configuration.allowedChannels);
    const bool skipped = item && m_kind == CheckKind::background && isSkipped(*item);
    if (!item || skipped) {
        Q_EMIT didNotFindUpdate();
        abort({UpdateError::noUpdate, QStringLiteral("You're up to date.")});
        return;
    }
    found(*item);
}

bool UpdateController::isSkipped(const AppcastItem& item) const {
    // By value, not by text: skipping 1.2 skips 1.2.0, and an older release stays skipped too.
    const auto skipped = Version::parse(m_settings.skippedUpdateVersion());
    const auto version = Version::parse(item.version);
    return skipped && version && *version <= *skipped;
}

void UpdateController::found(const AppcastItem& item) {
    const CheckKind kind = m_kind;
    Q_EMIT foundValidUpdate(item);
    if (kind != CheckKind::probe) {
        Q_EMIT showUpdateRequested(item, kind == CheckKind::userInitiated);
    }
    endCycle();
}

void UpdateController::abort(const UpdateError& error) {
    Q_EMIT abortedWithError(error);
    endCycle();
}

void UpdateController::endCycle() {
    // The transfer is still on the stack of its own signal: it goes on the next turn.
    if (m_transfer) {
        m_transfer.release()->deleteLater();
    }
    Q_EMIT finishedUpdateCycle(m_kind);
    scheduleNextCheck();
}

void UpdateController::scheduleNextCheck() {
    if (!automaticallyChecksForUpdates()) {
        m_schedule->stop();
        return;
    }
    using namespace std::chrono;
    const auto last = lastUpdateCheckDate();
    const milliseconds interval = checkInterval;
    const milliseconds since =
        last ? milliseconds(last->msecsTo(m_now())) : interval;  // never checked: due now
    // A clock set back makes the last check look ahead of now: count it as just done.
    const milliseconds wait =
        std::clamp(interval - since, milliseconds(kFirstCheckDelay), interval);
    m_schedule->start(wait, false);
}

}  // namespace framlet
