#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "LogTail.h"
#include "LoopbackServer.h"
#include "ManualTimers.h"
#include "SigningKey.h"
#include "platform/DebugLog.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"
#include "updates/Updater.h"
#include "updates/VersionTransition.h"
#include "updates/widgets/UpdateRows.h"

namespace framlet {
namespace {

using namespace std::chrono_literals;
using test::feed;
using test::feedItem;
using Kind = Updater::Status::Kind;
using test::LogTail;

class UpdaterTest : public ::testing::Test {
protected:
    UpdaterTest() : defaults(dir.filePath("defaults.json")), settings(defaults) {}

    std::unique_ptr<Updater> makeUpdater(const QString& key, const QString& channel = {},
                                         std::optional<QString> feedOverride = std::nullopt) {
        UpdaterSetup setup{"1.9", key, server.url("/feed").toString(), channel, feedOverride};
        auto updater = std::make_unique<Updater>(setup, settings, network, timers);
        updater->start();
        return updater;
    }

    void offer(const QString& version, const QString& channel = {}) {
        server.serve("/feed",
                     feed(feedItem(version, server.url("/u.AppImage"), 5, "c2ln", channel)));
    }

    // Waits for the framework to finish a check (a feed answered or failed).
    static void waitForCycle(Updater& updater) {
        QSignalSpy cycle(updater.controller(), &UpdateController::finishedUpdateCycle);
        ASSERT_TRUE(cycle.wait(10000));
    }

    QTemporaryDir dir;
    UserDefaults defaults;
    Settings settings;
    QNetworkAccessManager network;
    test::ManualTimers timers;
    test::LoopbackServer server;
    test::SigningKey key;
};

TEST_F(UpdaterTest, AKeyOfAnyOtherSizeThan32BytesLeavesUpdatesOff) {
    for (const QByteArray& bytes : {QByteArray(31, 'k'), QByteArray(33, 'k'), QByteArray()}) {
        LogTail log;
        auto updater = makeUpdater(QString::fromLatin1(bytes.toBase64()));
        EXPECT_FALSE(updater->isAvailable());
        EXPECT_EQ(updater->controller(), nullptr);
        EXPECT_TRUE(log.text().contains(
            u"updater: no real SUPublicEDKey — updates disabled in this build"));
    }
    LogTail log;
    auto updater = makeUpdater(key.publicKeyBase64());
    EXPECT_TRUE(updater->isAvailable());
    EXPECT_TRUE(
        log.text().contains("updater: armed (feed " + server.url("/feed").toString() + u')'));
}

TEST_F(UpdaterTest, AManualCheckThatFindsAnUpdateOpensTheWindowOnce) {
    offer("2.0");
    auto updater = makeUpdater(key.publicKeyBase64());
    QSignalSpy shown(updater.get(), &Updater::updateShown);
    bool shelfHidden = false;
    QObject::connect(updater.get(), &Updater::updateWillShow, [&] { shelfHidden = true; });
    LogTail log;

    updater->checkForUpdates();
    EXPECT_EQ(updater->status().text(), u"Checking…");
    ASSERT_TRUE(shown.wait(10000));  // the probe, then the user-initiated check
    EXPECT_EQ(updater->status().text(), u"Version 2.0 available");
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0][1].toBool());
    EXPECT_TRUE(shelfHidden);
    EXPECT_TRUE(log.text().contains(u"updater: showing update 2.0 (user-initiated: true)"));
    EXPECT_EQ(server.requests("/feed"), 2);

    timers.advance(10s);
    EXPECT_EQ(updater->status(), Updater::Status::idle());
}

TEST_F(UpdaterTest, ABackgroundCheckShowsTheUpdateWithoutEscalating) {
    offer("2.0");
    auto updater = makeUpdater(key.publicKeyBase64());
    QSignalSpy shown(updater.get(), &Updater::updateShown);
    updater->controller()->checkForUpdatesInBackground();
    waitForCycle(*updater);
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_FALSE(shown[0][1].toBool());
    EXPECT_EQ(server.requests("/feed"), 1);

    // A skipped version is no longer offered in the background, however it is written; a newer
    // one is.
    updater->controller()->skipVersion(shown[0][0].value<AppcastItem>());
    offer("2.0.0");
    updater->controller()->checkForUpdatesInBackground();
    waitForCycle(*updater);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(updater->status().kind(), Kind::upToDate);
    offer("2.0.1");
    updater->controller()->checkForUpdatesInBackground();
    waitForCycle(*updater);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.size(), 2);
}

// A feed that trickles in is given up at its deadline, and the next background check goes out.
TEST_F(UpdaterTest, ATrickledFeedDoesNotHoldUpLaterChecks) {
    server.serve("/feed",
                 test::LoopbackServer::Response{200, QByteArray(100000, ' '), {}, false, 20ms});
    auto updater = makeUpdater(key.publicKeyBase64());
    QSignalSpy aborted(updater->controller(), &UpdateController::abortedWithError);
    updater->controller()->checkForUpdatesInBackground();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests("/feed") == 1; }));
    timers.advance(2min);
    ASSERT_TRUE(aborted.wait(5000));
    EXPECT_TRUE(aborted[0][0].value<UpdateError>().description.contains(u"did not finish"));
    updater->controller()->checkForUpdatesInBackground();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.requests("/feed") == 2; }));
}

TEST_F(UpdaterTest, OnlyTheBetaChannelWordOptsIntoBetaReleases) {
    offer("2.0-beta.1", "beta");
    for (const auto& [channel, expected] :
         {std::pair{"beta", Kind::updateFound}, std::pair{"Beta", Kind::upToDate},
          std::pair{"", Kind::upToDate}}) {
        auto updater = makeUpdater(key.publicKeyBase64(), channel);
        updater->checkForUpdates();
        waitForCycle(*updater);
        EXPECT_EQ(updater->status().kind(), expected) << channel;
    }
}

TEST_F(UpdaterTest, AFeedThatCannotBeReadIsACheckThatFailed) {
    auto updater = makeUpdater(key.publicKeyBase64());
    const QByteArray oversized =
        feed(feedItem("2.0", server.url("/u"), 5, "c2ln", {}, QString(1100 * 1024, u'x')));
    using Response = test::LoopbackServer::Response;
    for (const Response& fault :
         {Response{200, "<rss><channel><item>"}, Response{200, oversized}, Response{500, "broken"},
          Response{302, {}, "Location: http://127.0.0.1:1/feed\r\n"}}) {
        server.serve("/feed", fault);
        LogTail log;
        updater->checkForUpdates();
        waitForCycle(*updater);
        EXPECT_EQ(updater->status(), Updater::Status::failed("Couldn't check"));
        EXPECT_TRUE(log.text().contains(u"updater: check failed — ")) << log.text().toStdString();
    }
}

TEST_F(UpdaterTest, ANewCheckKeepsTheStatusPastTheFirstResultsReset) {
    offer("1.9");
    auto updater = makeUpdater(key.publicKeyBase64());
    updater->checkForUpdates();
    waitForCycle(*updater);
    EXPECT_EQ(updater->status(), Updater::Status::upToDate());
    timers.advance(8s);
    updater->checkForUpdates();
    waitForCycle(*updater);
    timers.advance(2s);  // ten seconds after the first result
    EXPECT_EQ(updater->status(), Updater::Status::upToDate());
    timers.advance(8s);
    EXPECT_EQ(updater->status(), Updater::Status::idle());
}

TEST_F(UpdaterTest, AnEmptyFeedOverrideStaysEmpty) {
    offer("2.0");
    auto updater = makeUpdater(key.publicKeyBase64(), {}, QString());
    EXPECT_TRUE(updater->controller()->feedUrl().isEmpty());
    updater->checkForUpdates();
    waitForCycle(*updater);
    EXPECT_EQ(updater->status().kind(), Kind::failed);
    EXPECT_EQ(server.requests("/feed"), 0);
}

TEST_F(UpdaterTest, AutomaticChecksRunOnceADayWhenTurnedOn) {
    offer("1.9");
    auto updater = makeUpdater(key.publicKeyBase64());
    timers.advance(48h);
    EXPECT_EQ(server.requests("/feed"), 0);  // off until the user turns them on
    updater->setAutomaticallyChecksForUpdates(true);
    timers.advance(1min);
    waitForCycle(*updater);
    EXPECT_EQ(server.requests("/feed"), 1);
    ASSERT_TRUE(updater->lastUpdateCheckDate());
    // The next one is a day after this one, taken from the real clock.
    timers.advance(1h);
    QCoreApplication::processEvents();
    EXPECT_EQ(server.requests("/feed"), 1);
}

// The version change is logged against the same settings the updater reads.
TEST_F(UpdaterTest, AVersionTransitionLogsAFirstRunAndAChangeOnly) {
    LogTail log;
    VersionTransition::reconcileIfNeeded(settings, "1.0");
    VersionTransition::reconcileIfNeeded(settings, "1.0");
    VersionTransition::reconcileIfNeeded(settings, "1.1");
    EXPECT_EQ(log.text().count(u"version: "), 2);
    EXPECT_TRUE(log.text().contains(u"version: first run recorded as 1.0"));
    EXPECT_TRUE(log.text().contains(u"version: 1.0 → 1.1"));
    EXPECT_EQ(settings.lastRunVersion(), u"1.1");
}

// The settings window's rows: hidden without a key, and with one they drive the updater.
TEST_F(UpdaterTest, TheSettingsRowsShowOnlyWhenAvailableAndCheckNowReportsTheOutcome) {
    offer("1.9");
    for (const bool withKey : {false, true}) {
        auto updater = makeUpdater(withKey ? key.publicKeyBase64() : QString());
        QWidget tab;
        auto* form = new QFormLayout(&tab);
        UpdateRows rows(*updater, *form);
        tab.show();
        EXPECT_EQ(rows.automaticChecks()->isVisible(), withKey);
        EXPECT_EQ(rows.checkNow()->isVisible(), withKey);
        if (withKey) {
            rows.checkNow()->click();
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    return rows.statusText()->isVisible() &&
                           rows.statusText()->text() == u"Up to date";
                },
                10000));
            rows.automaticChecks()->setChecked(!rows.automaticChecks()->isChecked());
            EXPECT_EQ(updater->automaticallyChecksForUpdates(),
                      rows.automaticChecks()->isChecked());
        }
    }
}

}  // namespace
}  // namespace framlet
