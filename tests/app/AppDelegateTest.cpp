#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "CaptureFiles.h"
#include "DelegateServices.h"
#include "ManualTimers.h"
#include "XClients.h"
#include "app/AppDelegate.h"
#include "app/CaptureLantern.h"
#include "app/OlderScreenshots.h"
#include "app/StatusItem.h"
#include "app/StatusItemDragView.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "library/watcher/ScreenshotSources.h"
#include "library/watcher/ScreenshotWatcher.h"
#include "platform/StatusNotifierItem.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/PanelController.h"
#include "shelf/SelectionModel.h"

using namespace framlet;
using namespace std::chrono_literals;

namespace {

// Runs under scripts/x-session with a tray: the whole delegate over real folders.
class AppDelegateTest : public ::testing::Test, protected test::LaunchedDelegate {
protected:
    // Saves a capture into the watched folder, with a line of text when given; its path.
    QString capture(const QString& name, const QString& text = {}) const {
        const QString path = shots.filePath(name);
        EXPECT_TRUE(text.isEmpty() ? test::writeCapture(path) : test::writeTextCapture(path, text));
        return path;
    }
    Screenshot* onShelf(const QString& path) const {
        return delegate->store().screenshot(QUrl::fromLocalFile(path));
    }
    // Turns the watcher's clock until the condition holds.
    bool waitWhileListing(const std::function<bool()>& done) {
        return QTest::qWaitFor(
            [&] {
                timers.advance(ScreenshotWatcher::latency);
                return done();
            },
            60000);
    }
};

TEST_F(AppDelegateTest, SeedsNeverLightTheLanternButALiveCaptureDoes) {
    capture(QStringLiteral("old 1.png"));
    capture(QStringLiteral("old 2.png"));
    launch();
    ScreenshotStore& store = delegate->store();
    EXPECT_EQ(store.count(), 2);
    EXPECT_FALSE(delegate->lantern().hasUnseen());
    EXPECT_FALSE(store.showFirstCaptureCeremony());

    const QString fresh = capture(QStringLiteral("new.png"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.count() == 3; }, 5000));
    EXPECT_EQ(store.at(0)->url(), QUrl::fromLocalFile(fresh));
    EXPECT_TRUE(delegate->lantern().hasUnseen());
    EXPECT_TRUE(delegate->lantern().isAnimating());
    EXPECT_TRUE(store.showFirstCaptureCeremony());
    EXPECT_FALSE(shelfShown());

    // Once the banner was dismissed, a capture no longer raises it.
    store.setShowFirstCaptureCeremony(false);
    settings.setHasCelebratedFirstCapture(true);
    capture(QStringLiteral("newer.png"));
    // Read at the end of the change window the first capture opened, or at once after it.
    timers.advance(ScreenshotWatcher::latency);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.count() == 4; }, 5000));
    EXPECT_FALSE(store.showFirstCaptureCeremony());
    // The tray says it in words too.
    const auto trayWords = [&] {
        const StatusItem* item = delegate->statusItem();
        return item->dragView() ? item->dragView()->toolTip() : item->notifierItem()->title();
    };
    EXPECT_EQ(trayWords(), QStringLiteral("Framlet: 2 new screenshots"));

    // Opening the shelf empties the lantern; hiding it clears the selection.
    delegate->selectionModel().setIds({store.at(0)->id()});
    delegate->toggleShelf();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
    EXPECT_FALSE(delegate->lantern().hasUnseen());
    EXPECT_EQ(trayWords(), QStringLiteral("Framlet"));
    // Hiding it also closes a preview opened from it.
    ImagePreviewController& preview = delegate->preview();
    preview.show({store.at(0)->url()}, {store.at(0)->id()}, 0);
    ASSERT_TRUE(preview.isVisible());
    delegate->toggleShelf();
    EXPECT_FALSE(shelfShown());
    EXPECT_TRUE(delegate->selectionModel().ids().isEmpty());
    EXPECT_FALSE(preview.isVisible());
}

TEST_F(AppDelegateTest, RemovedFilesAndReplacedFoldersLeaveTheShelf) {
    const QString keepPath = capture(QStringLiteral("keep.png"));
    const QString gonePath = capture(QStringLiteral("gone.png"));
    launch();
    const Screenshot* gone = onShelf(gonePath);
    const Screenshot* keep = onShelf(keepPath);
    ASSERT_TRUE(gone && keep);
    const QUuid goneId = gone->id();
    const QUuid keepId = keep->id();
    delegate->selectionModel().setIds({goneId, keepId});
    delegate->selectionModel().setAnchor(goneId);

    ASSERT_TRUE(QFile::remove(gonePath));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->store().count() == 1; }, 5000));
    EXPECT_EQ(delegate->selectionModel().ids(), SelectionModel::IdSet{keepId});
    EXPECT_EQ(delegate->selectionModel().anchor(), goneId);  // the anchor is never pruned

    // Files of folders no longer watched leave the shelf too.
    Q_EMIT delegate->sources().foldersReplaced();
    EXPECT_EQ(delegate->store().count(), 0);
}

TEST_F(AppDelegateTest, EveryScreenshotOfTheFoldersIsFoundByAWordInsideIt) {
    settings.setHistoryLimit(10);
    const QString old = capture(QStringLiteral("old.png"), QStringLiteral("Zeppelin"));
    for (int i = 0; i < 10; ++i) {
        capture(QStringLiteral("plain %1.png").arg(i));
    }
    launch();
    EXPECT_FALSE(onShelf(old));
    // Beyond the shelf from the start: read in the background.
    EXPECT_TRUE(waitWhileListing([&] { return delegate->search("zeppelin").contains(old); }));
    EXPECT_EQ(delegate->older().search(QStringLiteral("EPPE"), 5),
              QList<QUrl>{QUrl::fromLocalFile(old)});

    // A capture on the shelf, moved out of it by sixty newer ones.
    settings.setHistoryLimit(60);
    const QString walrus = capture(QStringLiteral("capture.png"), QStringLiteral("Walrus"));
    ASSERT_TRUE(waitWhileListing([&] {
        const Screenshot* taken = onShelf(walrus);
        return taken && taken->ocrText().contains(QStringLiteral("walrus"));
    }));
    for (int i = 0; i < 60; ++i) {
        capture(QStringLiteral("newer %1.png").arg(i));
    }
    ASSERT_TRUE(
        waitWhileListing([&] { return delegate->store().count() == 60 && !onShelf(walrus); }));
    EXPECT_EQ(textCache.search("walrus", 5), QStringList{walrus});
    EXPECT_EQ(delegate->search(QStringLiteral("walrus")), QStringList{walrus});
    // Forgotten, and read again from the disk in the background.
    delegate->older().forgetRecognisedText();
    EXPECT_TRUE(textCache.search(QStringLiteral("walrus"), 5).isEmpty());
    EXPECT_TRUE(
        waitWhileListing([&] { return delegate->search("walrus") == QStringList{walrus}; }));

    // A file deleted from the disk leaves the database at the next listing.
    ASSERT_TRUE(QFile::remove(old));
    EXPECT_TRUE(waitWhileListing([&] { return textCache.search("zeppelin", 5).isEmpty(); }));
    EXPECT_TRUE(delegate->search(QStringLiteral("zeppelin")).isEmpty());
}

TEST_F(AppDelegateTest, ClickingTheTrayIconOpensAndClosesTheShelf) {
    launch();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return delegate->statusItem()->iconGeometry().has_value(); }, 5000));
    const QPoint icon = delegate->statusItem()->iconGeometry()->center();
    test::clickAt(icon);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
    // The icon is the program's own window: this press closes the shelf as a click, not as a
    // press in another application followed by a reopening click.
    test::clickAt(icon);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 5000));
    QTest::qWait(300);
    EXPECT_FALSE(shelfShown());
}

TEST_F(AppDelegateTest, TheShortcutTogglesTheShelfAndANewBindingReplacesTheOldAtOnce) {
    launch();
    ASSERT_NE(delegate->hotKey(), nullptr);
    test::pressKeys(QStringLiteral("super+shift+2"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
    test::pressKeys(QStringLiteral("super+shift+2"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 5000));

    settings.setHotKey({1, 768});  // Super+Shift+S
    ASSERT_NE(delegate->hotKey(), nullptr);
    test::pressKeys(QStringLiteral("super+shift+s"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
}

}  // namespace
