#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPointer>
#include <QTest>

#include "XClients.h"
#include "shelf/KeyablePanel.h"
#include "shelf/PanelController.h"

namespace framlet {
namespace {

using test::clickAt;
using test::xdotool;

// Counts the clicks and the Escape and Shift keys that one widget, or the program, receives.
struct InputRecorder : QObject {
    int releases = 0;
    int escapes = 0;
    int shifts = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        const auto* key = dynamic_cast<QKeyEvent*>(event);
        releases += event->type() == QEvent::MouseButtonRelease;
        escapes += event->type() == QEvent::KeyPress && key->key() == Qt::Key_Escape;
        shifts += event->type() == QEvent::KeyRelease && key->key() == Qt::Key_Shift;
        return false;
    }
};

// These run on the private display of scripts/x-session, with openbox and trayer.
class PanelControllerTest : public ::testing::Test {
protected:
    PanelControllerTest() {
        QObject::connect(&controller, &PanelController::opened, [this] { ++opened; });
        QObject::connect(&controller, &PanelController::hidden, [this] { ++hidden; });
    }

    QWidget* makeContent() {
        ++made;
        auto* content = new QWidget;
        content->installEventFilter(&recorder);
        return content;
    }

    // Shown, mapped by the window manager and active, as after a click on the tray icon.
    void showAndActivate(const PanelAnchor& anchor = {}) {
        controller.show(anchor);
        ASSERT_TRUE(QTest::qWaitForWindowActive(controller.panel()));
    }

    // A press and release inside the panel that reached it, after which every X event of the
    // click, the raw press included, has been handled.
    void clickInsidePanel() {
        const int before = recorder.releases;
        ASSERT_TRUE(clickAt(controller.panel()->geometry().center()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.releases == before + 1; }, 5000));
        QCoreApplication::sendPostedEvents();
    }

    // Returns once the program has handled every X event sent so far, without moving the
    // pointer: the pointer is looked up when a raw press is handled, not when it happened.
    void settleInput() {
        InputRecorder keys;
        qApp->installEventFilter(&keys);
        ASSERT_TRUE(test::pressKeys(QStringLiteral("Shift_L")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return keys.shifts > 0; }, 5000));
        QCoreApplication::sendPostedEvents();
        qApp->removeEventFilter(&keys);
    }

    QRect workArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

    int made = 0;
    int opened = 0;
    int hidden = 0;
    InputRecorder recorder;
    PanelController controller{[this] { return makeContent(); }};
};

TEST_F(PanelControllerTest,
       ShowsAndHidesTellingTheOwnerOnceEachAndKeepsItsContentUntilInvalidated) {
    controller.hide();  // nothing shown yet: nothing to tell
    EXPECT_EQ(controller.panel(), nullptr);
    EXPECT_EQ(hidden, 0);

    controller.toggle();
    ASSERT_NE(controller.panel(), nullptr);
    EXPECT_TRUE(controller.isShown());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));
    controller.show();  // already shown: placed again, but no second opening
    EXPECT_EQ(opened, 1);
    const QPointer<KeyablePanel> first = controller.panel();
    const QPointer<QWidget> firstContent = first->content();

    controller.toggle();
    EXPECT_FALSE(controller.isShown());
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(hidden, 1);
    controller.hide();
    EXPECT_EQ(hidden, 1);

    // A close by the window manager (Alt+F4) counts as hiding, so the next toggle opens it again,
    // the same panel with the same content.
    showAndActivate();
    controller.panel()->close();
    EXPECT_FALSE(controller.isShown());
    EXPECT_EQ(hidden, 2);
    controller.toggle();
    EXPECT_TRUE(controller.isShown());
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(controller.panel(), first);
    EXPECT_EQ(controller.panel()->content(), firstContent);
    EXPECT_EQ(made, 1);

    controller.invalidateContent();  // while shown: hidden first, as the owner hears
    EXPECT_EQ(hidden, 3);
    EXPECT_EQ(controller.panel(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return first.isNull() && firstContent.isNull();
    }));
    controller.show();
    EXPECT_EQ(made, 2);
    EXPECT_EQ(opened, 4);
}

TEST_F(PanelControllerTest, IsAFramelessToolWindowOnEveryWorkspaceAndAboveTheRest) {
    for (int showing = 0; showing < 2; ++showing) {  // the hints must survive hiding
        showAndActivate();
        const WId window = controller.panel()->winId();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QString properties = test::windowProperties(
                    window, {QStringLiteral("_NET_WM_STATE"), QStringLiteral("_NET_WM_DESKTOP")});
                // Openbox keeps "sticky" as the all-workspaces desktop number, not as a state.
                return properties.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")) &&
                       properties.contains(QStringLiteral("_NET_WM_STATE_ABOVE")) &&
                       properties.contains(
                           QStringLiteral("_NET_WM_DESKTOP(CARDINAL) = 4294967295"));
            },
            5000))
            << qPrintable(test::windowProperties(window, {}));
        controller.hide();
    }
    EXPECT_TRUE(controller.panel()->windowFlags().testFlag(Qt::FramelessWindowHint));

    // Switching to another workspace leaves it on screen.
    showAndActivate();
    ASSERT_TRUE(xdotool({QStringLiteral("set_desktop"), QStringLiteral("1")}));
    ASSERT_TRUE(QTest::qWaitFor([] { return test::currentDesktop() == 1; }, 5000));
    EXPECT_TRUE(test::isViewable(controller.panel()->winId()));
    xdotool({QStringLiteral("set_desktop"), QStringLiteral("0")});
}

TEST_F(PanelControllerTest, OpensUnderTheIconOrAtTheTopRightWhenItsPositionIsUnknown) {
    showAndActivate({QRect(600, 100, 24, 24), QGuiApplication::primaryScreen()});
    const WId window = controller.panel()->winId();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return test::absolutePosition(window) == QPoint(422, 128); }, 5000))
        << test::absolutePosition(window).x() << "," << test::absolutePosition(window).y();
    controller.hide();

    showAndActivate();
    const QPoint topRight(workArea().x() + workArea().width() - 380 - 8, workArea().y() + 8);
    EXPECT_TRUE(QTest::qWaitFor([&] { return test::absolutePosition(window) == topRight; }, 5000));
}

TEST_F(PanelControllerTest, APressInAnotherApplicationOrEscapeInTheShelfHidesItButNotInTheProgram) {
    // Mapped first, so that it does not take the focus from the program's windows.
    test::OtherApplication other(QRect(workArea().topLeft() + QPoint(20, 250), QSize(200, 150)));
    ASSERT_NE(other.waitForWindow(), 0u);
    const QPoint inOther = workArea().topLeft() + QPoint(120, 325);
    showAndActivate();
    clickInsidePanel();
    EXPECT_TRUE(controller.isShown());

    // Another window of the program, like the preview: clicking it keeps the shelf open.
    QWidget preview;
    InputRecorder previewInput;
    preview.setGeometry(QRect(workArea().topLeft() + QPoint(20, 20), QSize(200, 150)));
    preview.installEventFilter(&previewInput);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    ASSERT_TRUE(clickAt(preview.geometry().center()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return previewInput.releases == 1; }, 5000));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(controller.isShown());
    // Escape there reaches that window and leaves the shelf open; only in the shelf, the active
    // window, does it hide the shelf.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&preview));
    ASSERT_TRUE(test::pressKeys(QStringLiteral("Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return previewInput.escapes == 1; }, 5000));
    EXPECT_TRUE(controller.isShown());
    clickInsidePanel();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller.panel()));
    ASSERT_TRUE(test::pressKeys(QStringLiteral("Escape")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller.isShown(); }, 5000));
    EXPECT_EQ(hidden, 1);
    showAndActivate();

    // The scroll wheel over another application is no click.
    ASSERT_TRUE(clickAt(inOther, 4));
    settleInput();
    EXPECT_TRUE(controller.isShown());

    // A window of another process. When that window is a tray icon (StatusNotifierItem), its
    // activation follows right after the press that hid the shelf: that toggle must not open it
    // again.
    const auto reopen =
        QObject::connect(&controller, &PanelController::hidden, [&] { controller.toggle(); });
    ASSERT_TRUE(clickAt(inOther));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller.isShown(); }, 5000));
    EXPECT_EQ(hidden, 2);
    QCoreApplication::processEvents();
    EXPECT_FALSE(controller.isShown());
    QObject::disconnect(reopen);

    // The empty desktop (bottom left: no window of the program and no tray there) is not the
    // program's either; a right press counts as well.
    showAndActivate();
    ASSERT_TRUE(clickAt(workArea().bottomLeft() + QPoint(40, -40), 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller.isShown(); }, 5000));
    EXPECT_EQ(hidden, 3);
    EXPECT_EQ(opened, 3);
    test::pressKeys(QStringLiteral("Escape"));  // closes the desktop menu
}

}  // namespace
}  // namespace framlet
