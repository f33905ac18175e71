#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "ChildProcess.h"
#include "DesktopInput.h"
#include "FakePortal.h"
#include "FileBytes.h"
#include "platform/ColorScheme.h"
#include "platform/GnomeShortcutGrabber.h"
#include "platform/LoginItem.h"
#include "platform/UserDefaults.h"
#include "platform/widgets/FolderChooser.h"
#include "platform/widgets/TaskbarPresence.h"
#include "preferences/Settings.h"
#include "settings/AppearanceTab.h"
#include "settings/FoldersTab.h"
#include "settings/GeneralTab.h"
#include "settings/RecognisedText.h"
#include "settings/SettingsServices.h"
#include "settings/SettingsView.h"
#include "settings/ThemePalette.h"
#include "shortcut/HotKeyStatus.h"
#include "shortcut/widgets/HotKeyRecorder.h"

using namespace framlet;

namespace {

// The settings view over its own defaults file, under the private X server and session bus.
class SettingsViewTest : public ::testing::Test {
protected:
    SettingsViewTest()
        : defaults(config.filePath(QStringLiteral("defaults.json")))
        , settings(defaults)
        , theme(settings, colorScheme)
        , loginItem(config.filePath(QStringLiteral("autostart/framlet.desktop")),
                    QStringLiteral("/usr/bin/true")) {}

    SettingsServices services() {
        return {settings,
                theme,
                taskbar,
                loginItem,
                hotKeyStatus,
                chooser,
                [this] { return source; },  // looked up afresh on each refresh
                QStringLiteral("1.2.3"),
                {}};
    }
    // The Folders tab once it has looked up the screenshot tool.
    static void waitForSource(FoldersTab& tab) {
        QSignalSpy shown(&tab, &FoldersTab::sourceShown);
        tab.refreshSource();
        ASSERT_TRUE(shown.wait(5000));
    }

    QTemporaryDir config;
    UserDefaults defaults;
    Settings settings;
    ColorScheme colorScheme;
    ThemePalette theme;
    TaskbarPresence taskbar;
    LoginItem loginItem;
    HotKeyStatus hotKeyStatus;
    FolderChooser chooser;
    ScreenshotSource source;
};

TEST_F(SettingsViewTest, EveryControlChangesItsSettingTheMomentItChanges) {
    SettingsView view(services());
    view.show();
    GeneralTab& general = *view.general();
    general.taskbarToggle()->click();
    EXPECT_TRUE(settings.showDockIcon());

    QTest::keyClick(general.lanternPicker(), Qt::Key_End);
    EXPECT_EQ(general.lanternPicker()->currentText(), QStringLiteral("Until I open the shelf"));
    EXPECT_EQ(settings.unseenResetSeconds(), 0);

    general.historyUp()->click();
    EXPECT_EQ(general.historyLabel()->text(), QStringLiteral("Keep 70 recent screenshots"));
    EXPECT_EQ(settings.historyLimit(), 70);

    AppearanceTab& appearance = *view.appearance();
    QTest::keyClick(appearance.themePicker(), Qt::Key_End);
    EXPECT_EQ(appearance.themePicker()->currentText(), QStringLiteral("Dark"));
    EXPECT_EQ(settings.theme(), Settings::Theme::dark);
    QTest::keyClick(appearance.columnsPicker(), Qt::Key_Home);
    EXPECT_EQ(appearance.columnsPicker()->currentText(), QStringLiteral("1 columns"));
    EXPECT_EQ(settings.columns(), 1);
    appearance.heightSlider()->setValue(555);
    EXPECT_EQ(appearance.heightLabel()->text(), QStringLiteral("Panel height: 555 px"));
    EXPECT_EQ(settings.panelHeight(), 555.0);

    // A window opened afterwards shows the same choices.
    SettingsView second(services());
    EXPECT_EQ(second.general()->lanternPicker()->currentText(),
              QStringLiteral("Until I open the shelf"));
    EXPECT_TRUE(second.general()->taskbarToggle()->isChecked());
    EXPECT_EQ(second.appearance()->heightSlider()->value(), 555);
}

// The shortcut rows: the keys a desktop bound itself, and Reset, shown only for other keys, taking
// GNOME's custom shortcut away (on a private settings backend) with the keys. (The program's
// registering the keys anew is AppDelegateTest's.)
TEST_F(SettingsViewTest, TheShortcutRowsShowTheDesktopsKeysAndResetTakesGnomesShortcutAway) {
    QProcessEnvironment gnome = QProcessEnvironment::systemEnvironment();
    gnome.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    gnome.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    GnomeShortcutGrabber grabber(GnomeCustomShortcuts(GnomeShortcutGrabber::entryPath, gnome),
                                 QStringLiteral("framlet --toggle"));
    hotKeyStatus.setGnomeShortcut(&grabber);
    grabber.grab(18, 256 | 512, {});
    ASSERT_TRUE(grabber.add());
    SettingsView view(services());
    view.show();
    GeneralTab& general = *view.general();
    EXPECT_FALSE(general.resetButton()->isVisibleTo(&view));
    settings.setHotKey({18, 256 | 512});  // what the recorder stores for Super+Shift+1
    EXPECT_TRUE(general.resetButton()->isVisibleTo(&view));
    EXPECT_EQ(general.recorder()->binding(), (HotKeyBinding{18, 768}));
    EXPECT_FALSE(general.desktopBinding()->isVisibleTo(&view));
    hotKeyStatus.setDesktopBinding(QStringLiteral("Meta+Shift+2"));
    EXPECT_EQ(general.desktopBinding()->text(),
              QStringLiteral("Set by your desktop: Meta+Shift+2"));
    EXPECT_TRUE(general.desktopBinding()->isVisibleTo(&view));
    general.resetButton()->click();
    EXPECT_FALSE(grabber.isAdded());
    EXPECT_EQ(settings.hotKeyBinding(), Settings::defaultHotKey);
    EXPECT_FALSE(general.resetButton()->isVisibleTo(&view));
}

TEST_F(SettingsViewTest, ALineAboveTheTabsSaysWhileChangesCannotBeStored) {
    SettingsView view(services());
    view.show();
    auto* banner = view.findChild<QLabel*>(QStringLiteral("storageProblem"));
    ASSERT_NE(banner, nullptr);
    EXPECT_FALSE(banner->isVisible());
    // A file where the preferences folder should be: no write succeeds, whoever runs the test.
    ASSERT_TRUE(QDir(config.path()).removeRecursively());
    ASSERT_TRUE(test::put(config.path(), {}));
    view.general()->taskbarToggle()->click();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(banner->text().startsWith(QStringLiteral("Framlet can't save its settings")));
    QFile::remove(config.path());
    view.general()->taskbarToggle()->click();
    EXPECT_FALSE(banner->isVisible());
}

TEST_F(SettingsViewTest, DraggingTheHeightSliderStoresWhereTheDragEnds) {
    AppearanceTab tab(settings);
    QSlider* slider = tab.heightSlider();
    QSignalSpy stores(&settings, &Settings::panelHeightChanged);
    slider->setSliderDown(true);  // as a drag does
    slider->setSliderPosition(600);
    slider->setSliderPosition(610);
    EXPECT_EQ(tab.heightLabel()->text(), QStringLiteral("Panel height: 610 px"));
    EXPECT_EQ(stores.count(), 0);
    slider->setSliderDown(false);
    EXPECT_EQ(stores.count(), 1);
    EXPECT_EQ(settings.panelHeight(), 610.0);
}

TEST_F(SettingsViewTest, TheHistoryStepperMovesByTenBetweenTenAndTwoHundred) {
    settings.setHistoryLimit(20);
    GeneralTab general(services());
    general.historyDown()->click();
    EXPECT_EQ(settings.historyLimit(), 10);
    EXPECT_FALSE(general.historyDown()->isEnabled());

    settings.setHistoryLimit(190);
    EXPECT_TRUE(general.historyDown()->isEnabled());
    general.historyUp()->click();
    EXPECT_EQ(settings.historyLimit(), 200);
    EXPECT_FALSE(general.historyUp()->isEnabled());
}

TEST_F(SettingsViewTest, AFailedLoginChangeIsLoggedAndTheToggleShowsTheTruth) {
    const test::ChildResult child =
        test::runSelf(QStringLiteral("SettingsViewTest.ChildTurnsLoginOnWhereItCannot"),
                      QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(child.exitCode, 0) << child.out.toStdString();
    EXPECT_TRUE(child.err.contains("Framlet: launch-at-login change failed: "))
        << child.err.toStdString();
}

TEST_F(SettingsViewTest, ChildTurnsLoginOnWhereItCannot) {
    GeneralTab general(services());
    general.launchAtLoginToggle()->click();
    EXPECT_EQ(loginItem.status(), LoginItem::Status::enabled);
    general.launchAtLoginToggle()->click();
    EXPECT_EQ(loginItem.status(), LoginItem::Status::notRegistered);

    // A file where the autostart folder's parent should be: no one can write there, root
    // included.
    ASSERT_TRUE(test::put(config.filePath(QStringLiteral("blocked")), "x"));
    const LoginItem blocked(config.filePath(QStringLiteral("blocked/autostart/framlet.desktop")),
                            QStringLiteral("/usr/bin/true"));
    GeneralTab failing(SettingsServices{
        settings, theme, taskbar, blocked, hotKeyStatus, chooser, {}, QString(), {}});
    ASSERT_FALSE(failing.launchAtLoginToggle()->isChecked());
    failing.launchAtLoginToggle()->click();
    EXPECT_FALSE(failing.launchAtLoginToggle()->isChecked());
}

// What the file says is shown (ToolNotificationsTest pins the file's bytes for each tool); Plasma
// is told of a change, and what cannot change is said under the toggle.
TEST_F(SettingsViewTest, TheNotificationToggleFollowsTheToolsFileTellsPlasmaAndSaysWhatFails) {
    // Where the tool's settings are, for the whole process: removed after the test.
    const QString path =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/plasmanotifyrc");
    const auto removed = qScopeGuard([&] { QFile::remove(path); });
    const QByteArray before(
        "# kept by hand\n"
        "[Applications][org.kde.konsole]\n"
        "ShowPopups=false\n"
        "\n"
        "[Applications][org.kde.spectacle]\n"
        "Seen=true\n"
        "\n"
        "[DoNotDisturb]\n"
        "Until=2026,1,1\n");
    ASSERT_TRUE(test::put(path, before));
    source = {QDir::homePath(), QStringLiteral("spectacle")};
    test::KConfigNotices notices(QStringLiteral("plasmanotifyrc"));
    FoldersTab tab(services());
    waitForSource(tab);
    ASSERT_TRUE(tab.notificationToggle()->isEnabled());
    EXPECT_FALSE(tab.notificationToggle()->isChecked());

    tab.notificationToggle()->click();
    EXPECT_TRUE(tab.notificationToggle()->isChecked());
    EXPECT_EQ(test::contents(path),
              QByteArray(before).replace("Seen=true\n", "Seen=true\nShowPopups=false\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notices.notices.isEmpty(); }, 5000));
    const QMap<QString, QStringList> notice{
        {QStringLiteral("Applications\x1dorg.kde.spectacle"), {QStringLiteral("ShowPopups")}}};
    EXPECT_EQ(notices.notices.first(), notice);
    tab.notificationToggle()->click();
    EXPECT_TRUE(test::contents(path).contains("ShowPopups=true\n\n[DoNotDisturb]"));

    // A change that fails leaves the toggle showing the file.
    QFile::remove(path);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    tab.notificationToggle()->click();
    EXPECT_FALSE(tab.notificationToggle()->isChecked());
    EXPECT_TRUE(tab.notificationCaption()->text().contains(QStringLiteral("not a regular file")))
        << tab.notificationCaption()->text().toStdString();

    source = {QDir::homePath(), QStringLiteral("gnome-shell")};  // no such setting
    waitForSource(tab);
    EXPECT_FALSE(tab.notificationToggle()->isEnabled());
    EXPECT_TRUE(tab.notificationCaption()->text().contains(QStringLiteral("gnome-shell")));
}

// The desktop's chooser answers Add Folder; while it is open the window takes no second request.
TEST_F(SettingsViewTest, FoldersComeFromTheDesktopsChooserWhichKeepsTheWindowWhileOpen) {
    auto portal = std::make_unique<test::FakePortal>();
    ASSERT_TRUE(portal->isRegistered());
    portal->holdAnswers = true;
    QTemporaryDir first, second;
    test::InputMarker marker;
    source = {QDir::homePath() + QStringLiteral("/Pictures/Screenshots"), QString()};
    FoldersTab tab(services());
    tab.setGeometry(400, 200, 500, 400);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
    waitForSource(tab);
    const auto watching = [&] {
        return tab.findChild<QLabel*>(QStringLiteral("currentlyWatching"));
    };
    ASSERT_TRUE(watching());
    EXPECT_EQ(watching()->text(), QStringLiteral("~/Pictures/Screenshots"));
    const auto add = [&] { return tab.addButton()->mapToGlobal(tab.addButton()->rect().center()); };

    portal->answerFolder = first.path();
    test::click(add());
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal->requests.size() == 1; }, 5000));
    EXPECT_EQ(portal->requests.last().value(QStringLiteral("directory")).toBool(), true);
    EXPECT_EQ(portal->requests.last().value(QStringLiteral("accept_label")).toString(),
              QStringLiteral("Watch Folder"));
    // The window takes no click while the chooser is open, and a request from code is refused.
    portal->answerFolder = second.path();
    test::click(add());
    tab.addFolder();
    ASSERT_TRUE(marker.waitForEarlierInput());
    EXPECT_EQ(portal->requests.size(), 1);
    portal->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !settings.watchedFolders().isEmpty(); }, 5000));
    EXPECT_EQ(settings.watchedFolders(), QStringList{first.path()});
    EXPECT_EQ(tab.findChildren<QWidget*>(QStringLiteral("folderRow")).size(), 1);
    EXPECT_FALSE(watching());

    portal->answerFolder = QString();  // cancelled
    test::click(add());
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal->requests.size() == 2; }, 5000));
    portal->release();
    QTest::qWait(300);  // the answer's way back
    EXPECT_EQ(settings.watchedFolders(), QStringList{first.path()});
    tab.findChild<QToolButton*>(QStringLiteral("removeFolder"))->click();
    EXPECT_TRUE(settings.watchedFolders().isEmpty());
    EXPECT_TRUE(watching());

    // A portal that leaves the bus without answering hands the choice to Qt's dialog, which the
    // window waits for in turn.
    test::click(add());
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal->requests.size() == 3; }, 5000));
    portal.reset();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = tab.findChild<QFileDialog*>()); }, 5000));
    EXPECT_TRUE(dialog->isModal());
    dialog->setDirectory(second.path());
    dialog->selectFile(second.path());
    QMetaObject::invokeMethod(dialog, "accept");
    EXPECT_EQ(settings.watchedFolders(), QStringList{second.path()});
}

// What the window is told about the recognised text, and what it asks of it.
class ShownText : public RecognisedText {
public:
    QString progressText() const override { return progress; }
    void forgetRecognisedText() override { ++forgotten; }
    QString progress = QStringLiteral("Reading older screenshots: 340 of 2,000");
    int forgotten = 0;
};

TEST_F(SettingsViewTest, TheFoldersTabSaysHowFarOlderScreenshotsAreReadAndForgetsTheirText) {
    ShownText text;
    SettingsServices withText = services();
    withText.recognisedText = &text;
    FoldersTab tab(withText);
    tab.show();
    EXPECT_EQ(tab.readingProgress()->text(), text.progress);
    EXPECT_TRUE(tab.readingProgress()->isVisible());
    Q_EMIT text.progressTextChanged(QString());
    EXPECT_FALSE(tab.readingProgress()->isVisible());

    ASSERT_TRUE(tab.olderToggle()->isChecked());  // on by default
    tab.olderToggle()->click();
    EXPECT_FALSE(settings.searchOlderScreenshots());
    settings.setSearchOlderScreenshots(true);
    EXPECT_TRUE(tab.olderToggle()->isChecked());

    EXPECT_EQ(tab.forgetButton()->text(), QStringLiteral("Forget recognised text"));
    tab.forgetButton()->click();
    EXPECT_EQ(text.forgotten, 1);
}

TEST(SettingsViewPaths, OnlyTheHomeFolderItselfBecomesATilde) {
    EXPECT_EQ(
        FoldersTab::displayPath(QStringLiteral("/home/ann/Shots"), QStringLiteral("/home/ann")),
        QStringLiteral("~/Shots"));
    EXPECT_EQ(FoldersTab::displayPath(QStringLiteral("/home/ann"), QStringLiteral("/home/ann")),
              QStringLiteral("~"));
    EXPECT_EQ(
        FoldersTab::displayPath(QStringLiteral("/home/anna/Shots"), QStringLiteral("/home/ann")),
        QStringLiteral("/home/anna/Shots"));
}

}  // namespace

namespace {

TEST(FolderChooserTest, WithoutAPortalQtsOwnDialogAsks) {
    ASSERT_FALSE(FolderChooser::portalAvailable());
    QTemporaryDir folder;
    QWidget window;
    FolderChooser chooser;
    std::optional<std::optional<QString>> answer;
    chooser.choose(&window, QStringLiteral("Add Folder"), QStringLiteral("Watch Folder"),
                   [&](const std::optional<QString>& chosen) { answer = chosen; });
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = window.findChild<QFileDialog*>()); }, 5000));
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("Watch Folder"));
    EXPECT_FALSE(answer);
    dialog->setDirectory(folder.path());
    dialog->selectFile(folder.path());
    QMetaObject::invokeMethod(dialog, "accept");
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, folder.path());
}

}  // namespace
