#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "DelegateServices.h"
#include "DesktopInput.h"
#include "FakePortal.h"
#include "FileBytes.h"
#include "LogTail.h"
#include "ManualTimers.h"
#include "XClients.h"
#include "app/AppDelegate.h"
#include "library/watcher/ScreenshotLocation.h"
#include "onboarding/FeatureTourCard.h"
#include "onboarding/FeatureTourModel.h"
#include "onboarding/FeatureTourOverlay.h"
#include "onboarding/FolderOptionRow.h"
#include "onboarding/OnboardingController.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/OnboardingWindow.h"
#include "platform/GnomeShortcutGrabber.h"
#include "platform/X11KeyGrabber.h"
#include "shelf/KeyablePanel.h"
#include "shelf/PanelController.h"
#include "shelf/PanelView.h"
#include "shortcut/widgets/GnomeShortcutButton.h"

using namespace framlet;
using Step = OnboardingModel::Step;

namespace {

// Into the given window once the X focus is surely there: after a window hides or first maps,
// the window manager may still be moving its focus when Qt already calls the window active.
void pressReturn(const QWidget* into = nullptr) {
    if (into) {
        test::xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                       QString::number(into->winId())});
    }
    test::pressKeys(QStringLiteral("Return"));
}

using test::clickAt;

// The whole delegate on the private X server, launched over a defaults file of its own, as a
// user's first and later launches would run.
class FirstRunTest : public ::testing::Test, protected test::DelegateServices {
protected:
    FirstRunTest() {
        // Where a fresh home's screenshots go; readable, so the check ends on the last screen.
        QDir().mkpath(ScreenshotLocation::current().toLocalFile());
    }

    void launch(KeyGrabber& grabber = X11KeyGrabber::shared()) {
        delegate.reset();
        delegate = std::make_unique<AppDelegate>(services(grabber));
        delegate->applicationDidFinishLaunching();
    }

    // Hides the shelf and waits until the window manager has taken its focus away, to nothing or,
    // while onboarding is open, to its window.
    void hideShelf() {
        const QWindow* shelf = delegate->panelController()->panel()->windowHandle();
        delegate->toggleShelf();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() != shelf; }, 5000));
    }
    // Opens the shelf, active, with the tour over it (when it is to show).
    FeatureTourOverlay* openShelf() {
        delegate->toggleShelf();
        KeyablePanel* panel = delegate->panelController()->panel();
        EXPECT_TRUE(panel && QTest::qWaitForWindowActive(panel));
        return panel ? panel->findChild<FeatureTourOverlay*>() : nullptr;
    }
    bool settled(FeatureTourOverlay* overlay) const {
        return overlay->cutout() == overlay->cutoutFor(tour().currentStep().target);
    }
    FeatureTourModel& tour() const { return delegate->featureTour(); }

    // A point of the dimmed area: off the cut-out, the card and the rounded corners.
    static QPoint dimmedPoint(FeatureTourOverlay* overlay) {
        const QRect keepOff = overlay->cutout().toAlignedRect().adjusted(-4, -4, 4, 4);
        for (int y = 16; y < overlay->height() - 16; y += 8) {
            for (int x = 16; x < overlay->width() - 16; x += 8) {
                const QPoint p(x, y);
                if (!keepOff.contains(p) && !overlay->card()->geometry().contains(p) &&
                    overlay->mask().contains(p)) {
                    return overlay->mapToGlobal(p);
                }
            }
        }
        ADD_FAILURE() << "no dimmed point";
        return {};
    }

    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(FirstRunTest, ReturnAloneWalksAFreshHomeToTheEndAndTheNextLaunchShowsNothing) {
    const test::LogTail log;
    launch();
    OnboardingWindow* window = delegate->onboarding().window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Welcome to Framlet"));
    EXPECT_EQ(window->size(), QSize(520, 470));
    OnboardingModel& model = *delegate->onboarding().model();
    OnboardingView& view = *delegate->onboarding().view();
    EXPECT_EQ(view.title(), QStringLiteral("Welcome to Framlet"));

    for (const auto& [next, name] : {std::pair{Step::chooseFolder, "chooseFolder"},
                                     {Step::explainAccess, "explainAccess"},
                                     {Step::done, "done"}}) {
        pressReturn(window);
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.step() == next; }, 5000))
            << "stuck at " << int(model.step()) << " before " << name;
        EXPECT_TRUE(log.text().contains(QStringLiteral("onboarding: screen ") + name)) << name;
    }
    EXPECT_EQ(view.title(), QStringLiteral("Your shelf is ready"));
    pressReturn(window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_TRUE(settings.hasCompletedOnboarding());

    launch();
    EXPECT_EQ(delegate->onboarding().window(), nullptr);
}

// Where GNOME runs the shortcut's command, the last screen offers its custom shortcut.
TEST_F(FirstRunTest, OnGnomeTheLastScreenOffersTheCustomShortcut) {
    QProcessEnvironment gnome = QProcessEnvironment::systemEnvironment();
    gnome.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    gnome.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    GnomeShortcutGrabber grabber(GnomeCustomShortcuts(GnomeShortcutGrabber::entryPath, gnome),
                                 QStringLiteral("framlet --toggle"));
    hotKeyStatus.setGnomeShortcut(&grabber);
    launch(grabber);
    OnboardingView& view = *delegate->onboarding().view();
    delegate->onboarding().model()->setStep(Step::done);
    ASSERT_TRUE(view.gnomeShortcutButton()->isVisibleTo(&view));
    EXPECT_EQ(delegate->hotKey(), nullptr);
    view.gnomeShortcutButton()->click();
    EXPECT_TRUE(grabber.isAdded());
    EXPECT_NE(delegate->hotKey(), nullptr);  // grabbed again, now through GNOME
    EXPECT_FALSE(view.gnomeShortcutButton()->isVisibleTo(&view));
    view.primaryButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.hasCompletedOnboarding(); }, 5000));
    delegate.reset();  // before the grabber it holds
    hotKeyStatus.setGnomeShortcut(nullptr);
}

TEST_F(FirstRunTest, ClosingTheWindowFinishesAndTheTourWaitsForIt) {
    launch();
    OnboardingWindow* window = delegate->onboarding().window();
    ASSERT_TRUE(window && QTest::qWaitForWindowActive(window));
    FeatureTourOverlay* overlay = openShelf();
    ASSERT_TRUE(overlay);
    EXPECT_FALSE(tour().isActive());  // not before onboarding ends
    hideShelf();

    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_TRUE(settings.hasCompletedOnboarding());
    openShelf();
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay->isVisible(); }, 5000));
}

TEST_F(FirstRunTest, TheTourAdvancesByClickAndReturnLetsTheCutOutThroughAndResumes) {
    settings.setHasCompletedOnboarding(true);
    launch();
    FeatureTourOverlay* overlay = openShelf();
    ASSERT_TRUE(overlay);
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->isVisible() && settled(overlay); }, 5000));
    EXPECT_EQ(tour().stepIndex(), 0);

    // The card's own text is no part of the backdrop, clicked once or twice; inside the cut-out
    // the search field takes the click, which also means the card's have been handled. The tour
    // stays.
    QLabel* title = overlay->card()->titleLabel();
    test::xdotool(QStringLiteral("mousemove %1 click --repeat 2 1")
                      .arg(test::at(title->mapToGlobal(title->rect().center())))
                      .split(u' '));
    QLineEdit* search =
        static_cast<PanelView*>(delegate->panelController()->panel()->content())->searchField();
    clickAt(search->mapToGlobal(search->rect().center()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return search->hasFocus(); }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(tour().stepIndex(), 0);

    clickAt(dimmedPoint(overlay));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tour().stepIndex() == 1; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(overlay); }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(tour().stepIndex(), 1);  // exactly one step per click

    hideShelf();  // at step 2
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->isVisible(); }, 5000));
    openShelf();
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->isVisible(); }, 5000));
    EXPECT_EQ(tour().stepIndex(), 1);
    EXPECT_EQ(overlay->card()->counter()->text(), QStringLiteral("2 of 3"));

    pressReturn(overlay->window());
    ASSERT_TRUE(QTest::qWaitFor([&] { return tour().stepIndex() == 2; }, 5000));
    EXPECT_FALSE(overlay->card()->skipButton()->isVisible());
    EXPECT_EQ(overlay->card()->nextButton()->text(), QStringLiteral("Done"));
    pressReturn(overlay->window());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->isVisible(); }, 5000));
    EXPECT_TRUE(settings.hasCompletedFeatureTour());
}

TEST_F(FirstRunTest, WithoutMotionTheTourJumpsAndReturnOnSkipSkips) {
    const QString kdeglobals =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/kdeglobals";
    ASSERT_TRUE(test::put(kdeglobals, "[KDE]\nAnimationDurationFactor=0\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return motion.reduced(); }, 5000));
    settings.setHasCompletedOnboarding(true);
    launch();
    FeatureTourOverlay* overlay = openShelf();
    ASSERT_TRUE(overlay && QTest::qWaitFor([&] { return overlay->isVisible(); }, 5000));
    tour().advance();
    EXPECT_TRUE(settled(overlay));  // at once, no frame in between

    overlay->card()->skipButton()->setFocus();  // where Tab brings it
    pressReturn();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->isVisible(); }, 5000));
    EXPECT_TRUE(settings.hasCompletedFeatureTour());
    QFile::remove(kdeglobals);
}

TEST_F(FirstRunTest, WhileTheDesktopsChooserIsOpenTheWindowNeitherMovesOnNorCloses) {
    test::FakePortal portal;
    ASSERT_TRUE(portal.isRegistered());
    portal.holdAnswers = true;
    QTemporaryDir picked;
    portal.answerFolder = picked.path();
    test::InputMarker marker;
    launch();
    OnboardingWindow* window = delegate->onboarding().window();
    ASSERT_TRUE(window && QTest::qWaitForWindowActive(window));
    OnboardingModel& model = *delegate->onboarding().model();
    OnboardingView& view = *delegate->onboarding().view();
    model.setStep(Step::chooseFolder);
    const QPoint next = view.primaryButton()->mapToGlobal(view.primaryButton()->rect().center());

    // The chooser waits for its answer in an event loop of its own: the user's tries at moving on
    // and at closing the window (Alt+F4, the window manager's close) are sent from within it.
    bool tried = false;
    QObject::connect(&portal, &test::FakePortal::requested, &portal, [&] {
        QTimer::singleShot(0, &portal, [&] {
            pressReturn();
            clickAt(next);
            test::pressKeys(QStringLiteral("alt+F4"));
            tried = marker.waitForEarlierInput();
            portal.release();
        });
    });
    clickAt(view.customRow()->mapToGlobal(view.customRow()->rect().center()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.customFolder().has_value(); }, 10000));
    EXPECT_TRUE(tried);
    EXPECT_EQ(model.customFolder()->toLocalFile(), picked.path());
    EXPECT_EQ(model.step(), Step::chooseFolder);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(settings.hasCompletedOnboarding());
    EXPECT_EQ(portal.requests.size(), 1);
}

TEST(OnboardingView, ShowsAPathWithTheWholeHomeFolderAsTilde) {
    const auto shown = [](const QString& path) {
        return OnboardingView::displayPath(QUrl::fromLocalFile(path), QStringLiteral("/home/al"));
    };
    EXPECT_EQ(shown(QStringLiteral("/home/al/Pictures/Screenshots")),
              QStringLiteral("~/Pictures/Screenshots"));
    EXPECT_EQ(shown(QStringLiteral("/home/al")), QStringLiteral("~"));
    EXPECT_EQ(shown(QStringLiteral("/home/alice/Desktop")), QStringLiteral("/home/alice/Desktop"));
    EXPECT_EQ(shown(QStringLiteral("/srv/home/al/x")), QStringLiteral("/srv/home/al/x"));
}

}  // namespace
