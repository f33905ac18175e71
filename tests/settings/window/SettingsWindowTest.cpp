#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "DelegateServices.h"
#include "XClients.h"
#include "app/AppDelegate.h"
#include "preferences/Settings.h"
#include "settings/AppearanceTab.h"
#include "settings/GeneralTab.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindow.h"
#include "settings/ThemePalette.h"
#include "shelf/KeyablePanel.h"
#include "shelf/PanelController.h"

using namespace framlet;

namespace {

// The whole delegate under the private X server with a window manager: the settings window as
// the user reaches it.
class SettingsWindowTest : public ::testing::Test, protected test::LaunchedDelegate {
protected:
    ~SettingsWindowTest() override {
        if (delegate && delegate->settingsWindow()) {
            delegate->settingsWindow()->hide();
        }
    }

    // Shown, and with the keyboard unless another window stays above it.
    void openShelf(bool active = true) {
        if (!shelfShown()) {
            delegate->toggleShelf();
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                QWidget* panel = delegate->panelController()->panel();
                return panel && panel->isVisible() && (!active || panel->isActiveWindow());
            },
            5000));
    }
    SettingsWindow* shownSettings() const {
        SettingsWindow* window = delegate->settingsWindow();
        return window && window->isVisible() ? window : nullptr;
    }
    // Ctrl+, typed into the shelf, once the X focus is surely there: a window that an earlier
    // test closed may still be moving the window manager's focus.
    void pressCtrlCommaOnTheShelf() {
        const QString shelf = QString::number(delegate->panelController()->panel()->winId());
        test::xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), shelf});
        test::pressKeys(QStringLiteral("ctrl+comma"));
    }
    // The window states the window manager sees (_NET_WM_STATE), as xprop prints them.
    static QString netWmState(const QWidget* window) {
        return test::windowProperties(window->winId(), {QStringLiteral("_NET_WM_STATE")});
    }
    static bool inTaskbar(const QWidget* window) {
        return !netWmState(window).contains(QStringLiteral("SKIP_TASKBAR"));
    }
};

TEST_F(SettingsWindowTest, CtrlCommaOnTheShelfOpensOneWindowThatClosingOnlyHides) {
    launch();
    openShelf();
    pressCtrlCommaOnTheShelf();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownSettings() != nullptr; }, 5000));
    SettingsWindow* window = delegate->settingsWindow();
    EXPECT_FALSE(shelfShown());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Framlet Settings"));
    EXPECT_EQ(window->view()->size(), QSize(460, 340));
    EXPECT_EQ(window->view()->selected(), SettingsView::Tab::general);
    // The updater's rows join the tab it builds (shown only while the updater is available).
    EXPECT_TRUE(
        window->view()->general()->findChild<QPushButton*>(QStringLiteral("checkForUpdates")));
    window->view()->setSelected(SettingsView::Tab::folders);

    EXPECT_FALSE(window->close());  // refused: hidden instead
    EXPECT_FALSE(window->isVisible());
    // The window manager moves the focus elsewhere once it sees the window go; only then may
    // the shelf take it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isActiveWindow(); }, 5000));
    QTest::qWait(200);

    openShelf();
    pressCtrlCommaOnTheShelf();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownSettings() != nullptr; }, 5000));
    EXPECT_EQ(delegate->settingsWindow(), window);
    EXPECT_EQ(window->view()->selected(), SettingsView::Tab::folders);
}

TEST_F(SettingsWindowTest, DarkRepaintsTheOpenShelfAndTheSettingsWindow) {
    settings.setTheme(Settings::Theme::light);
    launch();
    delegate->openSettings();
    openShelf(false);
    SettingsWindow* window = delegate->settingsWindow();
    ASSERT_TRUE(window->isVisible());
    const QColor dark = ThemePalette::dark().color(QPalette::Window);
    const auto background = [](QWidget* widget) {
        return QColor(widget->grab().toImage().pixel(2, widget->height() - 2));
    };
    EXPECT_NE(background(window), dark);

    window->view()->setSelected(SettingsView::Tab::appearance);
    QTest::keyClick(window->view()->appearance()->themePicker(), Qt::Key_End);
    EXPECT_EQ(settings.theme(), Settings::Theme::dark);
    EXPECT_EQ(background(window), dark);
    QWidget* shelf = delegate->panelController()->panel();
    EXPECT_EQ(
        shelf->findChild<QWidget*>(QStringLiteral("shelf"))->palette().color(QPalette::Window),
        dark);
}

TEST_F(SettingsWindowTest, TheTaskbarToggleTurnsTheWindowsIntoNormalWindowsAndBack) {
    launch();
    delegate->openSettings();
    SettingsWindow* window = delegate->settingsWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !netWmState(window).isEmpty(); }, 5000));
    EXPECT_EQ(window->windowType(), Qt::Tool);
    EXPECT_FALSE(inTaskbar(window));

    delegate->settingsWindow()->view()->general()->taskbarToggle()->click();
    EXPECT_TRUE(settings.showDockIcon());
    EXPECT_EQ(window->windowType(), Qt::Window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isActiveWindow(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return inTaskbar(window); }, 5000));

    window->view()->general()->taskbarToggle()->click();
    EXPECT_EQ(window->windowType(), Qt::Tool);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !inTaskbar(window); }, 5000));
}

}  // namespace
