#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "DelegateServices.h"
#include "ManualTimers.h"
#include "app/AppDelegate.h"
#include "app/CaptureLantern.h"
#include "app/StatusItem.h"
#include "library/Screenshot.h"
#include "library/ScreenshotStore.h"
#include "library/ScreenshotWatcher.h"
#include "platform/ColorScheme.h"
#include "platform/UserDefaults.h"
#include "platform/X11KeyGrabber.h"
#include "preferences/Settings.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/PanelController.h"
#include "shelf/SelectionModel.h"
#include "shelf/ShelfActions.h"
#include "shortcut/HotKeyStatus.h"

using namespace framlet;
using namespace std::chrono_literals;

namespace {

// Runs under scripts/x-session with a tray: the whole delegate over real folders.
class AppDelegateTest : public ::testing::Test, protected test::DelegateServices {
protected:
    AppDelegateTest() { settings.setWatchedFolders({shots.path()}); }

    static void writeImage(const QString& path) {
        QImage image(320, 200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        // Written under a hidden name and renamed, as screenshot tools do.
        const QString hidden = QFileInfo(path).dir().filePath(QStringLiteral(".incoming.png"));
        ASSERT_TRUE(image.save(hidden, "PNG"));
        ASSERT_TRUE(QFile::rename(hidden, path));
    }
    QString shot(const QString& name) const { return shots.filePath(name); }

    void launch() {
        delegate = std::make_unique<AppDelegate>(services());
        delegate->applicationDidFinishLaunching();
        // Without folders of its own, the watcher comes once the screenshot location is found.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return delegate->watcher() && delegate->watcher()->hasSeeded(); }, 10000));
    }
    bool shelfShown() const { return delegate->panelController()->isShown(); }
    bool watching(const QString& folder) const {
        return delegate->watcher() &&
               delegate->watcher()->folders() == QList<QUrl>{QUrl::fromLocalFile(folder)};
    }
    static void xdotool(const QStringList& arguments) {
        QProcess::execute(QStringLiteral("xdotool"), arguments);
    }

    QTemporaryDir shots;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, SeedsNeverLightTheLanternButALiveCaptureDoes) {
    writeImage(shot(QStringLiteral("old 1.png")));
    writeImage(shot(QStringLiteral("old 2.png")));
    launch();
    ScreenshotStore& store = delegate->store();
    EXPECT_EQ(store.count(), 2);
    EXPECT_FALSE(delegate->lantern().hasUnseen());
    EXPECT_FALSE(store.showFirstCaptureCeremony());

    writeImage(shot(QStringLiteral("new.png")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.count() == 3; }, 5000));
    EXPECT_EQ(store.at(0)->url(), QUrl::fromLocalFile(shot(QStringLiteral("new.png"))));
    EXPECT_TRUE(delegate->lantern().hasUnseen());
    EXPECT_TRUE(delegate->lantern().isAnimating());
    EXPECT_TRUE(store.showFirstCaptureCeremony());

    // Once the banner was dismissed, a capture no longer raises it.
    store.setShowFirstCaptureCeremony(false);
    settings.setHasCelebratedFirstCapture(true);
    writeImage(shot(QStringLiteral("newer.png")));
    // Read at the end of the change window the first capture opened, or at once after it.
    timers.advance(ScreenshotWatcher::latency);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.count() == 4; }, 5000));
    EXPECT_FALSE(store.showFirstCaptureCeremony());

    // Opening the shelf empties the lantern; hiding it clears the selection.
    delegate->selectionModel().setIds({store.at(0)->id()});
    delegate->toggleShelf();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
    EXPECT_FALSE(delegate->lantern().hasUnseen());
    // Hiding it also closes a preview opened from it.
    ImagePreviewController& preview = delegate->preview();
    preview.show({store.at(0)->url()}, {store.at(0)->id()}, 0);
    ASSERT_TRUE(preview.isVisible());
    delegate->toggleShelf();
    EXPECT_FALSE(shelfShown());
    EXPECT_TRUE(delegate->selectionModel().ids().isEmpty());
    EXPECT_FALSE(preview.isVisible());
}

TEST_F(AppDelegateTest, ARemovedFileLeavesTheShelfAndTheSelection) {
    writeImage(shot(QStringLiteral("keep.png")));
    writeImage(shot(QStringLiteral("gone.png")));
    launch();
    Screenshot* gone =
        delegate->store().screenshot(QUrl::fromLocalFile(shot(QStringLiteral("gone.png"))));
    Screenshot* keep =
        delegate->store().screenshot(QUrl::fromLocalFile(shot(QStringLiteral("keep.png"))));
    ASSERT_TRUE(gone && keep);
    const QUuid goneId = gone->id();
    const QUuid keepId = keep->id();
    delegate->selectionModel().setIds({goneId, keepId});
    delegate->selectionModel().setAnchor(goneId);

    ASSERT_TRUE(QFile::remove(shot(QStringLiteral("gone.png"))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->store().count() == 1; }, 5000));
    EXPECT_EQ(delegate->selectionModel().ids(), SelectionModel::IdSet{keepId});
    EXPECT_EQ(delegate->selectionModel().anchor(), goneId);  // the anchor is never pruned
}

TEST_F(AppDelegateTest, ChangingTheWatchedFoldersRebuildsTheWatcherAndRefillsTheShelf) {
    writeImage(shot(QStringLiteral("first folder.png")));
    launch();
    QTemporaryDir other;
    for (const char* name : {"a.png", "b.png"}) {
        writeImage(other.filePath(QLatin1String(name)));
    }
    settings.setWatchedFolders({other.path()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->store().count() == 2; }, 5000));
    EXPECT_TRUE(watching(other.path()));
    EXPECT_FALSE(delegate->lantern().hasUnseen());  // a new watcher seeds: nothing was captured
}

// Xfce with no folders configured: the screenshooter's settings decide where to look.
class XfceAppDelegateTest : public AppDelegateTest {
protected:
    XfceAppDelegateTest() {
        settings.setWatchedFolders({});
        qputenv("XDG_CURRENT_DESKTOP", "XFCE");
        QDir().mkpath(QFileInfo(toolConfig()).path());
    }
    ~XfceAppDelegateTest() override {
        qunsetenv("XDG_CURRENT_DESKTOP");
        QFile::remove(toolConfig());
    }
    static QString toolConfig() {
        return QDir::homePath() + QStringLiteral("/.config/xfce4/xfce4-screenshooter");
    }
    // As the tool records the folder it saved into: a new file renamed over the old one.
    static void pointToolAt(const QString& folder) {
        const QString temporary = toolConfig() + QStringLiteral(".1234.tmp");
        QFile file(temporary);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("app=none\nscreenshot_dir=file:" + QFile::encodeName(folder) + "\naction=1\n");
        file.close();
        ASSERT_EQ(::rename(QFile::encodeName(temporary), QFile::encodeName(toolConfig())), 0);
    }
};

TEST_F(XfceAppDelegateTest, ACaptureSavedIntoAFolderTheToolNowNamesLightsTheLantern) {
    pointToolAt(shots.path());
    writeImage(shot(QStringLiteral("old.png")));
    launch();
    ASSERT_TRUE(watching(shots.path()));

    // Saving through the tool's dialog into another folder: the file lands, then the tool
    // records that folder as it quits.
    QTemporaryDir chosen;
    writeImage(chosen.filePath(QStringLiteral("Screenshot_1.png")));
    pointToolAt(chosen.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return watching(chosen.path()); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->store().count() == 1; }, 5000));
    EXPECT_TRUE(delegate->lantern().hasUnseen());
    EXPECT_TRUE(delegate->lantern().isAnimating());
    EXPECT_FALSE(delegate->panelController()->isShown());

    // Later captures there are followed as usual.
    timers.advance(CaptureLantern::frameInterval * CaptureLantern::frameCount);
    writeImage(chosen.filePath(QStringLiteral("Screenshot_2.png")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->store().count() == 2; }, 5000));
    EXPECT_TRUE(delegate->lantern().isAnimating());

    // A setting that no longer names a folder sends the tool, and the watcher, to its default.
    pointToolAt(chosen.filePath(QStringLiteral("Screenshot_2.png")));
    // (No user-dirs.dirs names a Pictures folder here: that default is the home folder.)
    ASSERT_TRUE(QTest::qWaitFor([&] { return watching(QDir::homePath()); }, 5000));
}

TEST_F(XfceAppDelegateTest, FoldersTheUserListedWinOverTheToolsSetting) {
    settings.setWatchedFolders({shots.path()});
    launch();
    QTemporaryDir chosen;
    writeImage(chosen.filePath(QStringLiteral("Screenshot_1.png")));
    pointToolAt(chosen.path());
    QTest::qWait(500);  // room for a wrong move to happen; nothing is timed
    EXPECT_TRUE(watching(shots.path()));
    EXPECT_FALSE(delegate->lantern().hasUnseen());
}

// GNOME with no folders configured: the screenshot location comes from the desktop, with a
// stand-in for gsettings that can be told to hang.
class GnomeAppDelegateTest : public AppDelegateTest {
protected:
    GnomeAppDelegateTest() : savedPath(qgetenv("PATH")) {
        settings.setWatchedFolders({});
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        const QString script = bin.filePath(QStringLiteral("gsettings"));
        QFile file(script);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        // It answers at once, unless a "hold" file exists: then it makes "called" and answers only
        // once "release" exists.
        file.write(
            "#!/bin/sh\nd=$(dirname \"$0\")\n"
            "if [ -e \"$d/hold\" ]; then\n"
            "  touch \"$d/called\"\n"
            "  while [ ! -e \"$d/release\" ]; do sleep 0.02; done\n"
            "  printf \"'%s'\\n\" \"$(cat \"$d/release\")\"\n"
            "else echo \"''\"; fi\n");
        file.close();
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + savedPath);
    }
    ~GnomeAppDelegateTest() override {
        qputenv("PATH", savedPath);
        qunsetenv("XDG_CURRENT_DESKTOP");
        QDir(shellFolder()).removeRecursively();
    }
    static QString shellFolder() {
        return QDir::homePath() + QStringLiteral("/Pictures/Screenshots");
    }
    void touch(const QString& name, const QByteArray& text = {}) {
        QFile file(bin.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // Lets the held gsettings answer with the folder; the watcher moves there and seeds it.
    void answer(const QString& folder) {
        touch(QStringLiteral("release"), QUrl::fromLocalFile(folder).toEncoded());
        ASSERT_TRUE(QTest::qWaitFor([&] { return watching(folder); }, 10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->store().count() == 1; }, 5000));
    }

    QByteArray savedPath;
    QTemporaryDir bin;
};

TEST_F(GnomeAppDelegateTest, TheFirstCaptureOfAFreshAccountIsSeenLive) {
    ASSERT_FALSE(QFileInfo::exists(shellFolder()));
    launch();
    EXPECT_TRUE(watching(shellFolder()));

    // The Shell makes its folder as it saves the first capture.
    ASSERT_TRUE(QDir().mkpath(shellFolder()));
    writeImage(shellFolder() + QStringLiteral("/Screenshot from 2026-12-06.png"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->store().count() == 1; }, 5000));
    EXPECT_TRUE(delegate->lantern().hasUnseen());
}

TEST_F(GnomeAppDelegateTest, OpeningTheShelfDoesNotWaitForTheScreenshotSettings) {
    launch();
    QTemporaryDir chosen;
    writeImage(chosen.filePath(QStringLiteral("chosen.png")));
    touch(QStringLiteral("hold"));
    delegate->toggleShelf();
    EXPECT_TRUE(shelfShown());
    // Had the opening waited, gsettings would have been given up on by now, never answering.
    answer(chosen.path());
}

TEST_F(GnomeAppDelegateTest, FollowingTheSettingsDoesNotWaitForGsettings) {
    launch();
    QTemporaryDir chosen;
    writeImage(chosen.filePath(QStringLiteral("Screenshot from 2026-12-06.png")));
    touch(QStringLiteral("hold"));
    // gsettings keeps its values in dconf's database: writing it is how the setting changes.
    const QString database = QDir::homePath() + QStringLiteral("/.config/dconf/user");
    QDir().mkpath(QFileInfo(database).path());
    QFile file(database);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("GVariant");
    file.close();
    // Had the main thread waited for gsettings, it would have given up on it before this
    // wait could end.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(bin.filePath("called")); }, 5000));
    answer(chosen.path());
    EXPECT_TRUE(delegate->lantern().hasUnseen());
}

TEST_F(AppDelegateTest, ClickingTheTrayIconOpensAndClosesTheShelf) {
    launch();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return delegate->statusItem()->iconGeometry().has_value(); }, 5000));
    const QPoint icon = delegate->statusItem()->iconGeometry()->center();
    const auto click = [&] {
        xdotool({QStringLiteral("mousemove"), QString::number(icon.x()), QString::number(icon.y()),
                 QStringLiteral("click"), QStringLiteral("1")});
    };
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
    // The icon is the program's own window: this press closes the shelf as a click, not as a
    // press in another application followed by a reopening click.
    click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 5000));
    QTest::qWait(300);
    EXPECT_FALSE(shelfShown());
}

TEST_F(AppDelegateTest, TheShortcutTogglesTheShelfAndANewBindingReplacesTheOldAtOnce) {
    launch();
    ASSERT_NE(delegate->hotKey(), nullptr);
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+2")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+2")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shelfShown(); }, 5000));

    settings.setHotKey({1, 768});  // Super+Shift+S
    ASSERT_NE(delegate->hotKey(), nullptr);
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+s")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelfShown(); }, 5000));
}

}  // namespace
