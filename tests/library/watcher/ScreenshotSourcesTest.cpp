#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "ManualTimers.h"
#include "WatcherTestSupport.h"
#include "library/watcher/ScreenshotLocation.h"
#include "library/watcher/ScreenshotSources.h"
#include "library/watcher/ScreenshotWatcher.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;
using Arrival = Screenshot::Arrival;

namespace {

// Real folders and real inotify, on a manual clock: where screenshots come from, without a
// shelf. `shelf` holds what a shelf would show: emptied when the folders are replaced.
class ScreenshotSourcesTest : public ::testing::Test {
protected:
    ScreenshotSourcesTest() : defaults(config.filePath("defaults.json")) {
        settings.setWatchedFolders({shots.path()});
        QObject::connect(&sources, &ScreenshotSources::arrived,
                         [this](const QUrl& url, const QDateTime&, Arrival arrival) {
                             shelf.append({url, arrival});
                         });
        QObject::connect(&sources, &ScreenshotSources::foldersReplaced, [this] { shelf.clear(); });
    }

    // Written under a hidden name and renamed, as screenshot tools do.
    static void save(const QString& path) {
        const QString hidden = QFileInfo(path).dir().filePath(".incoming.png");
        test::writeFile(hidden);
        ASSERT_TRUE(QFile::rename(hidden, path));
    }
    QString shot(const QString& name) const { return shots.filePath(name); }

    void start() {
        sources.start();
        // Without folders of its own, the watcher comes once the screenshot location is found.
        ASSERT_TRUE(QTest::qWaitFor([&] { return sources.hasSeeded(); }, 10000));
    }
    // The tool's folder is the first watched; GNOME Screenshot's own may follow.
    bool watching(const QString& folder) const {
        return sources.folders().value(0) == QUrl::fromLocalFile(folder);
    }
    bool holds(qsizetype count) const {
        return QTest::qWaitFor([&] { return shelf.size() == count; }, 5000);
    }
    qsizetype captures() const {
        return std::count_if(shelf.cbegin(), shelf.cend(),
                             [](const auto& file) { return file.second == Arrival::captured; });
    }

    QTemporaryDir config;
    UserDefaults defaults;
    Settings settings{defaults};
    test::ManualTimers timers;
    ScreenshotSources sources{settings, timers};
    QTemporaryDir shots;
    QList<std::pair<QUrl, Arrival>> shelf;
};

TEST_F(ScreenshotSourcesTest, SeedsAreNotCapturesAndOtherFoldersAreSeededAfresh) {
    save(shot("old 1.png"));
    save(shot("old 2.png"));
    start();
    EXPECT_EQ(shelf.size(), 2);
    EXPECT_EQ(captures(), 0);

    save(shot("new.png"));
    ASSERT_TRUE(holds(3));
    EXPECT_EQ(shelf.last(), std::pair(QUrl::fromLocalFile(shot("new.png")), Arrival::captured));

    QTemporaryDir other;
    for (const char* name : {"a.png", "b.png"}) {
        save(other.filePath(QLatin1String(name)));
    }
    settings.setWatchedFolders({other.path()});
    ASSERT_TRUE(holds(2));
    EXPECT_TRUE(watching(other.path()));
    EXPECT_EQ(captures(), 0);  // a new watcher seeds: nothing was captured

    // Without a folder of the user's, the screenshot tool's is followed again, looked up off
    // this thread.
    settings.setWatchedFolders({});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return sources.folders() == ScreenshotLocation::resolvedFolders(settings); }, 5000));
}

// Xfce with no folders configured: the screenshooter's settings decide where to look.
class XfceSourcesTest : public ScreenshotSourcesTest {
protected:
    XfceSourcesTest() {
        settings.setWatchedFolders({});
        qputenv("XDG_CURRENT_DESKTOP", "XFCE");
        QDir().mkpath(QFileInfo(toolConfig()).path());
    }
    ~XfceSourcesTest() override {
        qunsetenv("XDG_CURRENT_DESKTOP");
        QFile::remove(toolConfig());
    }
    static QString toolConfig() { return QDir::homePath() + "/.config/xfce4/xfce4-screenshooter"; }
    // As the tool records the folder it saved into: a new file renamed over the old one.
    static void pointToolAt(const QString& folder) {
        const QString temporary = toolConfig() + ".1234.tmp";
        test::writeFile(temporary, "app=none\nscreenshot_dir=file:" + QFile::encodeName(folder) +
                                       "\naction=1\n");
        ASSERT_EQ(::rename(QFile::encodeName(temporary), QFile::encodeName(toolConfig())), 0);
    }
};

TEST_F(XfceSourcesTest, ACaptureSavedIntoAFolderTheToolNowNamesIsACapture) {
    pointToolAt(shots.path());
    save(shot("old.png"));
    start();
    ASSERT_TRUE(watching(shots.path()));

    // Saving through the tool's dialog into another folder: the file lands, then the tool
    // records that folder as it quits.
    QTemporaryDir chosen;
    save(chosen.filePath("Screenshot_1.png"));
    pointToolAt(chosen.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return watching(chosen.path()); }, 5000));
    ASSERT_TRUE(holds(1));
    EXPECT_EQ(captures(), 1);

    // Later captures there are followed as usual.
    timers.advance(ScreenshotWatcher::latency);
    save(chosen.filePath("Screenshot_2.png"));
    ASSERT_TRUE(holds(2));
    EXPECT_EQ(captures(), 2);
}

TEST_F(XfceSourcesTest, FoldersTheUserListedWinOverTheToolsSetting) {
    settings.setWatchedFolders({shots.path()});
    start();
    QTemporaryDir chosen;
    save(chosen.filePath("Screenshot_1.png"));
    pointToolAt(chosen.path());
    QTest::qWait(500);  // room for a wrong move to happen; nothing is timed
    EXPECT_TRUE(watching(shots.path()));
    EXPECT_EQ(captures(), 0);
}

// GNOME with no folders configured: the screenshot location comes from the desktop, with a
// stand-in for gsettings that can be told to hang.
class GnomeSourcesTest : public ScreenshotSourcesTest {
protected:
    GnomeSourcesTest() : savedPath(qgetenv("PATH")) {
        settings.setWatchedFolders({});
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        const QString script = bin.filePath("gsettings");
        // It answers at once, unless a "hold" file exists: then it makes "called" and answers only
        // once "release" exists.
        test::writeFile(script,
                        "#!/bin/sh\nd=$(dirname \"$0\")\n"
                        "if [ -e \"$d/hold\" ]; then\n"
                        "  touch \"$d/called\"\n"
                        "  while [ ! -e \"$d/release\" ]; do sleep 0.02; done\n"
                        "  printf \"'%s'\\n\" \"$(cat \"$d/release\")\"\n"
                        "else echo \"''\"; fi\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + savedPath);
    }
    ~GnomeSourcesTest() override {
        qputenv("PATH", savedPath);
        qunsetenv("XDG_CURRENT_DESKTOP");
    }
    void touch(const QString& name, const QByteArray& text = {}) {
        test::writeFile(bin.filePath(name), text);
    }
    // Lets the held gsettings answer with the folder; the watcher moves there and seeds it.
    void answer(const QString& folder) {
        touch("release", QUrl::fromLocalFile(folder).toEncoded());
        ASSERT_TRUE(QTest::qWaitFor([&] { return watching(folder); }, 10000));
        ASSERT_TRUE(holds(1));
    }

    QByteArray savedPath;
    QTemporaryDir bin;
};

TEST_F(GnomeSourcesTest, NeitherLookingAgainNorFollowingTheSettingsWaitsForGsettings) {
    start();
    touch("hold");
    QTemporaryDir looked;
    save(looked.filePath("chosen.png"));
    sources.lookAgain();
    // Had it waited, gsettings would have been given up on by now, never answering.
    answer(looked.path());
    EXPECT_EQ(captures(), 0);  // found by looking again, not captured

    QFile::remove(bin.filePath("release"));
    QFile::remove(bin.filePath("called"));
    QTemporaryDir chosen;
    save(chosen.filePath("Screenshot from 2026-12-06.png"));
    // gsettings keeps its values in dconf's database: writing it is how the setting changes.
    const QString database = QDir::homePath() + "/.config/dconf/user";
    QDir().mkpath(QFileInfo(database).path());
    test::writeFile(database, "GVariant");
    // Had the main thread waited for gsettings, it would have given up on it before this
    // wait could end.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(bin.filePath("called")); }, 5000));
    answer(chosen.path());
    EXPECT_EQ(captures(), 1);
}

}  // namespace
