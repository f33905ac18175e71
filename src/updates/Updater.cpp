#include "updates/Updater.h"

#include "platform/DebugLog.h"
#include "platform/TimerSource.h"
#include "preferences/Settings.h"
#include "updates/UpdateSignature.h"

namespace framlet {
namespace {

constexpr qint64 kMaxFeedBytes = 1024 * 1024;
constexpr std::chrono::seconds kFeedTimeout{30};
// A feed that trickles in would otherwise hold the check, and every later one, for good.
constexpr std::chrono::minutes kFeedDeadline{2};

}  // namespace

UpdaterSetup UpdaterSetup::fromBuild() {
    UpdaterSetup setup{QStringLiteral(FRAMLET_VERSION), QStringLiteral(FRAMLET_UPDATE_PUBLIC_KEY),
                       QStringLiteral(FRAMLET_FEED_URL), QStringLiteral(FRAMLET_UPDATE_CHANNEL),
                       std::nullopt};
    if (qEnvironmentVariableIsSet("FRAMLET_FEED_URL")) {
        setup.feedOverride = qEnvironmentVariable("FRAMLET_FEED_URL");
    }
    return setup;
}

QString Updater::Status::text() const {
    switch (m_kind) {
        case Kind::checking:
            return QStringLiteral("Checking…");
        case Kind::upToDate:
            return QStringLiteral("Up to date");
        case Kind::updateFound:
            return QStringLiteral("Version ") + m_payload + QStringLiteral(" available");
        case Kind::failed:
            return m_payload;
        case Kind::idle:
            break;
    }
    return {};
}

Updater::Updater(UpdaterSetup setup, Settings& settings, QNetworkAccessManager& network,
                 TimerSource& timers, QObject* parent)
    : QObject(parent)
    , m_setup(std::move(setup))
    , m_settings(settings)
    , m_network(network)
    , m_timers(timers)
    , m_statusReset(timers.makeTimer()) {
    connect(m_statusReset.get(), &Timer::timedOut, this, [this] { setStatus(Status::idle()); });
}

Updater::~Updater() = default;

QString Updater::currentVersion() const {
    return m_setup.version.isEmpty() ? QStringLiteral("—") : m_setup.version;
}

QUrl Updater::feedUrl() const {
    // An override is passed on as it is, even when empty.
    return QUrl(m_setup.feedOverride.value_or(m_setup.feedUrl));
}

QSet<QString> Updater::allowedChannels() const {
    return m_setup.channel == u"beta" ? QSet<QString>{QStringLiteral("beta")} : QSet<QString>{};
}

void Updater::start() {
    const auto key = UpdateSignature::publicKey(m_setup.publicKey);
    if (!key) {
        DebugLog::log(
            QStringLiteral("updater: no real SUPublicEDKey — updates disabled in this build"));
        return;
    }
    m_publicKey = *key;
    m_controller = std::make_unique<UpdateController>(
        UpdateController::Configuration{feedUrl(),
                                        currentVersion(),
                                        allowedChannels(),
                                        {kMaxFeedBytes, kFeedTimeout, kFeedDeadline}},
        m_settings, m_network, m_timers, [] { return QDateTime::currentDateTimeUtc(); });
    connectController();
    m_isAvailable = true;
    Q_EMIT availabilityChanged(true);
    const QUrl feed = m_controller->feedUrl();
    const bool reportsNone = feed.isEmpty() && !m_setup.feedOverride;
    DebugLog::log(QStringLiteral("updater: armed (feed ") +
                  (reportsNone ? QStringLiteral("from Info.plist") : feed.toString()) +
                  QStringLiteral(")"));
}

std::unique_ptr<UpdateInstaller> Updater::makeInstaller(UpdateInstaller::Places places,
                                                        FileManager& fileManager,
                                                        std::chrono::milliseconds timeout) {
    return std::make_unique<UpdateInstaller>(m_network, m_timers,
                                             UpdateInstaller::Trust{m_publicKey, m_setup.version},
                                             std::move(places), fileManager, timeout);
}

void Updater::connectController() {
    UpdateController* controller = m_controller.get();
    connect(controller, &UpdateController::foundValidUpdate, this,
            [this](const AppcastItem& item) { settle(Status::updateFound(item.displayVersion)); });
    connect(controller, &UpdateController::didNotFindUpdate, this, [this] {
        m_escalateWhenSessionEnds = false;
        settle(Status::upToDate());
    });
    connect(controller, &UpdateController::abortedWithError, this, &Updater::aborted);
    connect(controller, &UpdateController::finishedUpdateCycle, this, &Updater::cycleFinished);
    connect(controller, &UpdateController::showUpdateRequested, this,
            &Updater::willHandleShowingUpdate);
}

void Updater::checkForUpdates() {
    m_statusReset->stop();
    setStatus(Status::checking());
    m_escalateWhenSessionEnds = true;
    if (m_controller) {
        m_controller->checkForUpdateInformation();
    }
}

bool Updater::automaticallyChecksForUpdates() const {
    return m_controller && m_controller->automaticallyChecksForUpdates();
}

void Updater::setAutomaticallyChecksForUpdates(bool checks) {
    if (m_controller) {
        m_controller->setAutomaticallyChecksForUpdates(checks);
    }
}

std::optional<QDateTime> Updater::lastUpdateCheckDate() const {
    return m_controller ? m_controller->lastUpdateCheckDate() : std::nullopt;
}

void Updater::setStatus(const Status& status) {
    m_status = status;
    Q_EMIT statusChanged(status);
}

void Updater::settle(const Status& status) {
    setStatus(status);
    m_statusReset->start(statusShownFor, false);  // replaces the pending reset
}

void Updater::aborted(const UpdateError& error) {
    if (error.code == UpdateError::noUpdate) {
        settle(Status::upToDate());
        return;
    }
    DebugLog::log(QStringLiteral("updater: check failed — ") + error.description);
    settle(Status::failed(QStringLiteral("Couldn't check")));
}

void Updater::cycleFinished() {
    if (!m_escalateWhenSessionEnds) {
        return;
    }
    m_escalateWhenSessionEnds = false;
    if (m_status.kind() == Status::Kind::updateFound && m_controller) {
        m_controller->checkForUpdates();
    }
}

void Updater::willHandleShowingUpdate(const AppcastItem& item, bool userInitiated) {
    Q_EMIT updateWillShow();
    DebugLog::log(QStringLiteral("updater: showing update ") + item.displayVersion +
                  QStringLiteral(" (user-initiated: ") +
                  (userInitiated ? QStringLiteral("true") : QStringLiteral("false")) +
                  QStringLiteral(")"));
    Q_EMIT updateShown(item, userInitiated);
}

}  // namespace framlet
