#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + "/defaults.json"; }
    // Stores the given values, then loads settings from them as a fresh launch would.
    std::unique_ptr<Settings> loadWith(const QVariantMap& stored) {
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
    EXPECT_EQ(settings->theme(), Settings::Theme::system);
    EXPECT_FALSE(settings->appearance().has_value());
    EXPECT_EQ(settings->columns(), 3);
    EXPECT_EQ(settings->panelHeight(), 420.0);
    EXPECT_EQ(settings->historyLimit(), 60);
    EXPECT_EQ(settings->unseenResetSeconds(), 60);
    EXPECT_TRUE(settings->watchedFolders().isEmpty());
    EXPECT_EQ(settings->hotKeyBinding(), (HotKeyBinding{19, 768}));
    EXPECT_FALSE(settings->showDockIcon());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SettingsTest, LoadRulesTellZeroFromMissingPerKey) {
    const auto zeros = loadWith({{"columns", qint64{0}},
                                 {"panelHeight", 0.0},
                                 {"historyLimit", qint64{0}},
                                 {"unseenResetSeconds", qint64{0}}});
    EXPECT_EQ(zeros->columns(), 3);
    EXPECT_EQ(zeros->panelHeight(), 420.0);
    EXPECT_EQ(zeros->historyLimit(), 60);
    EXPECT_EQ(zeros->unseenResetSeconds(), 0);  // stays lit until the shelf opens

    const auto values = loadWith({{"columns", qint64{5}},
                                  {"panelHeight", 512.5},
                                  {"historyLimit", qint64{200}},
                                  {"unseenResetSeconds", 30.0},
                                  {"showDockIcon", true},
                                  {"theme", "dark"}});
    EXPECT_EQ(values->columns(), 5);
    EXPECT_EQ(values->panelHeight(), 512.5);
    EXPECT_EQ(values->historyLimit(), 200);
    EXPECT_EQ(values->unseenResetSeconds(), 60);  // a double is not an integer
    EXPECT_TRUE(values->showDockIcon());
    EXPECT_EQ(values->appearance(), Settings::Appearance::dark);
}

// A hand-edited file: what the settings window would never offer is brought within its ranges.
TEST_F(SettingsTest, HandEditedValuesLoadWithinTheWindowsRanges) {
    const auto low = loadWith({{"columns", qint64{-3}},
                               {"panelHeight", -5.0},
                               {"historyLimit", qint64{-1}},
                               {"unseenResetSeconds", qint64{-10}}});
    EXPECT_EQ(low->columns(), 1);
    EXPECT_EQ(low->panelHeight(), 240.0);
    EXPECT_EQ(low->historyLimit(), 10);
    EXPECT_EQ(low->unseenResetSeconds(), 60);  // read as missing, not as 0

    const auto high = loadWith({{"columns", qint64{100}},
                                {"panelHeight", 1e308},
                                {"historyLimit", qint64{100000}},
                                {"unseenResetSeconds", qint64{1} << 40}});
    EXPECT_EQ(high->columns(), 6);
    EXPECT_EQ(high->panelHeight(), 700.0);
    EXPECT_EQ(high->historyLimit(), 200);
    EXPECT_EQ(high->unseenResetSeconds(), 60);
    // Beyond what an int holds: missing, not wrapped around into the range.
    EXPECT_EQ(loadWith({{"columns", (qint64{1} << 32) + 2}})->columns(), 3);

    for (const char* word : {"nan", "inf", "-inf", "1e300"}) {
        const QString text = QString::fromLatin1(word);
        const auto odd =
            loadWith({{"columns", text}, {"panelHeight", text}, {"historyLimit", text}});
        EXPECT_EQ(odd->columns(), 3) << word;
        EXPECT_EQ(odd->historyLimit(), 60) << word;
        EXPECT_EQ(odd->panelHeight(), QByteArray(word) == "1e300" ? 700.0 : 420.0) << word;
    }
}

TEST_F(SettingsTest, AnUnknownThemeLoadsAsSystemAndStaysStoredUntilAssigned) {
    auto settings = loadWith({{"theme", "Dark"}});
    EXPECT_EQ(settings->theme(), Settings::Theme::system);
    EXPECT_EQ(stored("theme").toString(), "Dark");
    settings = loadWith({{"theme", qint64{1}}});
    EXPECT_EQ(settings->theme(), Settings::Theme::system);
}

TEST_F(SettingsTest, TheShortcutNeedsBothIntegers) {
    EXPECT_EQ(loadWith({{"hotKeyCode", qint64{49}}})->hotKeyBinding(), (HotKeyBinding{19, 768}));
    m_dir.remove();
    ASSERT_TRUE(QDir().mkpath(m_dir.path()));
    EXPECT_EQ(loadWith({{"hotKeyCode", qint64{49}}, {"hotKeyModifiers", "256"}})->hotKeyBinding(),
              (HotKeyBinding{19, 768}));
    EXPECT_EQ(
        loadWith({{"hotKeyCode", qint64{49}}, {"hotKeyModifiers", qint64{4352}}})->hotKeyBinding(),
        (HotKeyBinding{49, 4352}));
    // Integers no binding can hold fall back to the default shortcut.
    EXPECT_EQ(loadWith({{"hotKeyCode", qint64{-1}}})->hotKeyBinding(), (HotKeyBinding{19, 768}));
}

TEST_F(SettingsTest, WatchedFoldersFallBackToTheLegacyKeyUnexpanded) {
    auto settings = loadWith({{"watchedFolder", "~/Shots"}});
    EXPECT_EQ(settings->watchedFolders(), QStringList{"~/Shots"});
    EXPECT_FALSE(stored("watchedFolders").isValid());

    settings = loadWith({{"watchedFolders", QVariantList{"/a", qint64{3}}}});
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
    EXPECT_EQ(stored("columns").typeId(), QMetaType::LongLong);
    EXPECT_EQ(stored("panelHeight").typeId(), QMetaType::Double);
    EXPECT_EQ(stored("unseenResetSeconds").toLongLong(), 0);
    EXPECT_EQ(theme.count() + dock.count() + folders.count() + hotKey.count(), 2);

    settings->setHotKey({1, 4096});
    EXPECT_EQ(hotKey.count(), 1);
    EXPECT_EQ(stored("hotKeyCode").toLongLong(), 1);
    EXPECT_EQ(stored("hotKeyModifiers").toLongLong(), 4096);

    UserDefaults reloaded(path());
    const Settings again(reloaded);
    EXPECT_EQ(again.columns(), 4);
    EXPECT_EQ(again.panelHeight(), 300.0);
    EXPECT_EQ(again.historyLimit(), 10);
    EXPECT_EQ(again.unseenResetSeconds(), 0);
    EXPECT_EQ(again.hotKeyBinding(), (HotKeyBinding{1, 4096}));
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
    QFile blocker(m_dir.path());  // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
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
