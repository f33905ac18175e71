#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "FileBytes.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + "/defaults.json"; }
    // Stores only the given values, then loads settings from them as a fresh launch would.
    std::unique_ptr<Settings> loadWith(const QVariantMap& stored) {
        QFile::remove(path());
        UserDefaults writer(path());
        for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
            writer.set(it.key(), it.value());
        }
        m_defaults = std::make_unique<UserDefaults>(path());
        return std::make_unique<Settings>(*m_defaults);
    }
    QVariant stored(const QString& key) const { return UserDefaults(path()).object(key); }

    QTemporaryDir m_dir;
    std::unique_ptr<UserDefaults> m_defaults;
};

TEST_F(SettingsTest, EmptyDefaultsLoadTheDocumentedValuesAndWriteNothing) {
    const auto settings = loadWith({});
    EXPECT_FALSE(settings->appearance().has_value());  // the desktop's, with the system theme
    EXPECT_TRUE(settings->watchedFolders().isEmpty());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_TRUE(loadWith({{"showDockIcon", true}})->showDockIcon());
    EXPECT_EQ(loadWith({{"theme", "dark"}})->appearance(), Settings::Appearance::dark);
}

// The stored numbers of the shelf's size and history, the badge's reset when given.
QVariantMap numbers(QVariant columns, QVariant height, QVariant limit, QVariant reset = {}) {
    QVariantMap map{{"columns", columns}, {"panelHeight", height}, {"historyLimit", limit}};
    if (reset.isValid()) {
        map.insert("unseenResetSeconds", reset);
    }
    return map;
}

TEST_F(SettingsTest, NumbersLoadWithinTheWindowsRangesTellingZeroFromMissing) {
    const struct {
        const char* what;
        QVariantMap stored;
        int columns;
        double panelHeight;
        int historyLimit;
        int unseenResetSeconds;
    } cases[]{
        {"nothing stored", {}, 3, 420.0, 60, 60},
        // A zero reset keeps the badge lit until the shelf opens.
        {"zeros", numbers(qint64{0}, 0.0, qint64{0}, qint64{0}), 3, 420.0, 60, 0},
        // A double is not an integer.
        {"in range", numbers(qint64{5}, 512.5, qint64{200}, 30.0), 5, 512.5, 200, 60},
        // Hand-edited: what the window would never offer is brought within its ranges; a
        // negative reset reads as missing, not as 0.
        {"below", numbers(qint64{-3}, -5.0, qint64{-1}, qint64{-10}), 1, 240.0, 10, 60},
        {"above", numbers(qint64{100}, 1e308, qint64{100000}, qint64{1} << 40), 6, 700.0, 200, 60},
        // Beyond what an int holds: missing, not wrapped around into the range.
        {"past an int", {{"columns", (qint64{1} << 32) + 2}}, 3, 420.0, 60, 60},
        {"nan", numbers("nan", "nan", "nan"), 3, 420.0, 60, 60},
        {"inf", numbers("inf", "inf", "inf"), 3, 420.0, 60, 60},
        {"-inf", numbers("-inf", "-inf", "-inf"), 3, 420.0, 60, 60},
        {"1e300", numbers("1e300", "1e300", "1e300"), 3, 700.0, 60, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto settings = loadWith(c.stored);
        EXPECT_EQ(settings->columns(), c.columns);
        EXPECT_EQ(settings->panelHeight(), c.panelHeight);
        EXPECT_EQ(settings->historyLimit(), c.historyLimit);
        EXPECT_EQ(settings->unseenResetSeconds(), c.unseenResetSeconds);
    }
}

TEST_F(SettingsTest, AnUnknownThemeLoadsAsSystemAndStaysStoredUntilAssigned) {
    auto settings = loadWith({{"theme", "Dark"}});
    EXPECT_EQ(settings->theme(), Settings::Theme::system);
    EXPECT_EQ(stored("theme").toString(), "Dark");
    settings = loadWith({{"theme", qint64{1}}});
    EXPECT_EQ(settings->theme(), Settings::Theme::system);
}

TEST_F(SettingsTest, TheShortcutNeedsBothIntegersThatABindingCanHold) {
    const std::pair<QVariantMap, HotKeyBinding> cases[]{
        {{}, {19, 768}},
        {{{"hotKeyCode", qint64{49}}}, {19, 768}},
        {{{"hotKeyCode", qint64{49}}, {"hotKeyModifiers", "256"}}, {19, 768}},
        {{{"hotKeyCode", qint64{49}}, {"hotKeyModifiers", qint64{4352}}}, {49, 4352}},
        {{{"hotKeyCode", qint64{-1}}, {"hotKeyModifiers", qint64{4352}}}, {19, 768}},
    };
    for (const auto& [stored, binding] : cases) {
        EXPECT_EQ(loadWith(stored)->hotKeyBinding(), binding) << stored.size() << " keys";
    }
}

TEST_F(SettingsTest, WatchedFoldersFallBackToTheLegacyKeyUnexpanded) {
    auto settings = loadWith({{"watchedFolder", "~/Shots"}});
    EXPECT_EQ(settings->watchedFolders(), QStringList{"~/Shots"});
    EXPECT_FALSE(stored("watchedFolders").isValid());

    settings =
        loadWith({{"watchedFolder", "~/Shots"}, {"watchedFolders", QVariantList{"/a", qint64{3}}}});
    EXPECT_EQ(settings->watchedFolders(), QStringList{"~/Shots"});

    settings = loadWith({{"watchedFolders", QVariantList{}}, {"watchedFolder", "/legacy"}});
    EXPECT_TRUE(settings->watchedFolders().isEmpty());
}

TEST_F(SettingsTest, AssignmentsWriteThroughAndNotifyEvenWhenUnchanged) {
    const auto settings = loadWith({});
    QSignalSpy theme(settings.get(), &Settings::themeChanged);
    QSignalSpy dock(settings.get(), &Settings::dockIconChanged);
    QSignalSpy folders(settings.get(), &Settings::watchedFolderChanged);
    QSignalSpy hotKey(settings.get(), &Settings::hotKeyChanged);

    // Subscribers run inside the assignment and already see the stored value.
    QString seenInHandler;
    QObject::connect(settings.get(), &Settings::themeChanged,
                     [&] { seenInHandler = stored("theme").toString(); });
    settings->setTheme(Settings::Theme::system);
    EXPECT_EQ(theme.count(), 1);
    EXPECT_EQ(seenInHandler, "system");

    settings->setShowDockIcon(false);
    EXPECT_EQ(dock.count(), 1);
    EXPECT_EQ(stored("showDockIcon").typeId(), QMetaType::Bool);

    settings->setColumns(4);
    settings->setPanelHeight(300);
    settings->setHistoryLimit(10);
    settings->setUnseenResetSeconds(0);
    settings->setSearchOlderScreenshots(false);
    EXPECT_EQ(stored("columns").typeId(), QMetaType::LongLong);
    EXPECT_EQ(stored("panelHeight").typeId(), QMetaType::Double);
    EXPECT_EQ(stored("historyLimit").toLongLong(), 10);
    EXPECT_EQ(stored("columns").toLongLong(), 4);
    EXPECT_EQ(stored("panelHeight").toDouble(), 300.0);
    EXPECT_EQ(stored("unseenResetSeconds").toLongLong(), 0);
    EXPECT_EQ(stored("searchOlderScreenshots").toString(), "false");  // a JSON boolean
    EXPECT_EQ(theme.count() + dock.count() + folders.count() + hotKey.count(), 2);

    settings->setHotKey({1, 4096});
    EXPECT_EQ(hotKey.count(), 1);
    EXPECT_EQ(stored("hotKeyCode").toLongLong(), 1);
    EXPECT_EQ(stored("hotKeyModifiers").toLongLong(), 4096);
}

TEST_F(SettingsTest, AddAndRemoveWatchedFolders) {
    const auto settings = loadWith({{"watchedFolder", "~/Shots"}});
    QSignalSpy changed(settings.get(), &Settings::watchedFolderChanged);
    const QString expanded = QDir::homePath() + "/Shots";

    settings->addWatchedFolder("~/Shots");  // expanded form not listed yet
    EXPECT_EQ(settings->watchedFolders(), (QStringList{"~/Shots", expanded}));
    EXPECT_EQ(changed.count(), 1);

    settings->addWatchedFolder("~/Shots");  // now it is: nothing happens
    settings->addWatchedFolder(expanded);
    EXPECT_EQ(changed.count(), 1);

    settings->addWatchedFolder("/b");
    settings->addWatchedFolder("~/Shots/../Shots");
    settings->removeWatchedFolder("~/Shots");  // no expansion on removal
    EXPECT_EQ(settings->watchedFolders(), (QStringList{expanded, "/b", expanded + "/../Shots"}));

    changed.clear();
    settings->removeWatchedFolder("/not/listed");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(stored("watchedFolders").toStringList(), settings->watchedFolders());
}

}  // namespace

namespace {

// Another Framlet process, or a maintenance flag, changes the file while this one runs.
TEST_F(SettingsTest, ChangesFromAnotherProcessAreNoticedAndNotifiedOnce) {
    const auto settings = loadWith({{"columns", qint64{3}}});
    settings->followFileChanges();
    QSignalSpy columns(settings.get(), &Settings::columnsChanged);
    QSignalSpy theme(settings.get(), &Settings::themeChanged);
    QSignalSpy folders(settings.get(), &Settings::watchedFolderChanged);
    UserDefaults other(path());
    other.set("columns", qint64{5});
    other.set("hasCompletedFeatureTour", true);
    EXPECT_TRUE(columns.wait(5000));  // noticed without being asked
    EXPECT_EQ(settings->columns(), 5);
    EXPECT_TRUE(settings->hasCompletedFeatureTour());
    settings->reload();
    EXPECT_EQ(columns.size(), 1);
    EXPECT_EQ(theme.size(), 0);
    EXPECT_EQ(folders.size(), 0);
    other.remove("hasCompletedFeatureTour");
    settings->reload();
    EXPECT_FALSE(settings->hasCompletedFeatureTour());
}

TEST_F(SettingsTest, AFailedWriteIsAProblemUntilAWriteSucceeds) {
    const auto settings = loadWith({});
    QSignalSpy problem(settings.get(), &Settings::storageProblemChanged);
    QFile::remove(path());
    QDir().rmdir(m_dir.path());
    ASSERT_TRUE(test::put(m_dir.path(), ""));  // a file where the folder should be
    settings->setColumns(4);
    settings->setTheme(Settings::Theme::dark);
    EXPECT_EQ(problem.size(), 1);
    EXPECT_FALSE(settings->storageProblem().isEmpty());
    EXPECT_EQ(settings->columns(), 4);
    QFile::remove(m_dir.path());
    settings->setColumns(2);
    EXPECT_EQ(problem.size(), 2);
    EXPECT_TRUE(settings->storageProblem().isEmpty());
    EXPECT_EQ(stored("theme").toString(), "dark");
}

}  // namespace
