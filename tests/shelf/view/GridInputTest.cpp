#include <gtest/gtest.h>

#include "DesktopInput.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTest>

#include "ShelfFixture.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/KeyablePanel.h"
#include "shelf/PanelController.h"
#include "shelf/PanelView.h"
#include "shelf/PreviewPanel.h"
#include "shelf/ThumbnailGrid.h"
#include "shelf/ThumbnailInteraction.h"

namespace framlet {
namespace {

// These run on the private display of scripts/x-session, with openbox, and drive it through
// xdotool as a user would.
bool xdotool(const QString& commands) {
    return QProcess::execute(QStringLiteral("sh"),
                             {QStringLiteral("-c"), QStringLiteral("xdotool ") + commands}) == 0;
}

using test::at;
using test::DropTarget;
using test::xdotoolDetached;

class GridInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 6; i >= 1; --i) {
            shelf.addShot(QStringLiteral("shot %1.png").arg(i));  // shot 1 ends up first
        }
        shelf.settings.setColumns(3);
    }

    PanelView* makeView() {
        return new PanelView(*shelf.store, shelf.selection, shelf.settings, shelf.services());
    }
    QUuid item(int n) const { return shelf.idOf(QStringLiteral("shot %1.png").arg(n)); }
    QPoint centreOf(int n) const {
        const ThumbnailGrid* grid = view->grid();
        return grid->viewport()->mapToGlobal(grid->thumbnailRect(item(n)).center());
    }
    // Clicks and waits until the selection says the click was handled.
    void click(int n, const QString& modifier, const SelectionModel::IdSet& expected) {
        const QString press = modifier.isEmpty()
                                  ? QStringLiteral("click 1")
                                  : QStringLiteral("keydown %1 click 1 keyup %1").arg(modifier);
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2").arg(at(centreOf(n)), press)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return shelf.selection.ids() == expected; }, 5000))
            << "after clicking item " << n << " with '" << modifier.toStdString() << "'";
    }
    SelectionModel::IdSet items(std::initializer_list<int> numbers) const {
        SelectionModel::IdSet set;
        for (int n : numbers) {
            set.insert(item(n));
        }
        return set;
    }

    test::ShelfFixture shelf;
    ImagePreviewController& preview = shelf.preview;
    std::unique_ptr<PanelView> view;
};

TEST_F(GridInputTest, ControlAndShiftClicksSelectAndADragCopiesTheSelection) {
    // The view alone on screen, with the keyboard.
    view.reset(makeView());
    view->move(80, 80);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));

    click(1, {}, items({1}));
    click(5, QStringLiteral("ctrl"), items({1, 5}));
    click(3, QStringLiteral("shift"), items({1, 3, 4, 5}));
    EXPECT_EQ(shelf.selection.anchor(), item(5));
    // A plain click on one of several reduces the selection to it on release.
    click(3, {}, items({3}));
    EXPECT_EQ(shelf.selection.anchor(), item(3));

    // Dragging three selected delivers the three files as a copy.
    DropTarget target;
    target.move(700, 250);
    target.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&target));
    const QPoint drop = target.mapToGlobal(target.rect().center());

    shelf.selection.setIds(items({2, 4, 6}));
    shelf.selection.setAnchor(item(2));
    xdotoolDetached(QStringLiteral("mousemove %1 mousedown 1 sleep 0.1 mousemove_relative 0 10 "
                                   "sleep 0.2 mousemove %2 sleep 0.2 mousemove_relative 5 5 "
                                   "sleep 0.2 mouseup 1")
                        .arg(at(centreOf(4)), at(drop)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.dropped.isEmpty(); }, 10000));

    QList<QUrl> expected;
    for (int n : {2, 4, 6}) {
        expected.append(QUrl::fromLocalFile(shelf.path(QStringLiteral("shot %1.png").arg(n))));
    }
    EXPECT_EQ(target.dropped, expected);  // in shelf order
    EXPECT_EQ(target.offered, Qt::CopyAction);
    EXPECT_EQ(shelf.selection.ids(), items({2, 4, 6}));
}

// In the shelf as the program shows it, so that Escape in the menu or the preview is seen to
// leave the shelf open.
TEST_F(GridInputTest, TheGridIsOneTabStopWhoseKeysSelectOpenTheMenuAndPreview) {
    PanelController controller([this] { return makeView(); });
    int hidden = 0;
    QObject::connect(&controller, &PanelController::hidden, [&] { ++hidden; });
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller.panel()));
    auto* shown = static_cast<PanelView*>(controller.panel()->content());
    ThumbnailGrid* grid = shown->grid();
    shown->searchField()->setFocus();
    ASSERT_TRUE(xdotool(QStringLiteral("key Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->hasFocus(); }, 5000));

    // End and Home reach the last and the first screenshot.
    ASSERT_TRUE(xdotool(QStringLiteral("key End")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelf.selection.ids() == items({6}); }, 5000));
    ASSERT_TRUE(xdotool(QStringLiteral("key Home key Right key Right")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelf.selection.ids() == items({3}); }, 5000));
    // Down to the second row, then Shift widens the selection from there.
    ASSERT_TRUE(xdotool(QStringLiteral("key Down key shift+Left")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelf.selection.ids() == items({5, 6}); }, 5000));
    // The selection is the view's own too, which is what a screen reader reads as selected.
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), 2);
    EXPECT_TRUE(grid->hasFocus());  // the arrows stayed within the grid

    // The Menu key opens the menu of the screenshot the arrows reached, and Escape there closes
    // the menu, not the shelf under it.
    ASSERT_TRUE(xdotool(QStringLiteral("key Left key Menu")));
    QMenu* menu = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (menu = grid->findChild<QMenu*>()) && menu->isVisible(); }, 5000));
    EXPECT_TRUE(menu->geometry().intersects(QRect(
        grid->viewport()->mapToGlobal(grid->thumbnailRect(item(4)).topLeft()), QSize(80, 80))));
    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activePopupWidget() == nullptr; }, 5000));
    EXPECT_TRUE(controller.isShown());

    // Space previews it; one item selected, the preview steps through the whole shelf.
    ASSERT_TRUE(xdotool(QStringLiteral("key space")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview.isVisible(); }, 5000));
    EXPECT_EQ(preview.count(), 6);
    EXPECT_EQ(preview.index(), 3);
    ASSERT_TRUE(QTest::qWaitForWindowActive(preview.panel()));
    // Stepping through the whole shelf selects what is shown; through a selection it does not.
    preview.step(1);
    EXPECT_EQ(shelf.selection.ids(), items({5}));
    shelf.selection.setIds(items({3, 4}));
    shown->interaction().presentPreview(item(4), false);
    EXPECT_EQ(preview.count(), 2);
    preview.step(1);
    EXPECT_EQ(shelf.selection.ids(), items({3, 4}));

    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !preview.isVisible(); }, 5000));
    EXPECT_TRUE(controller.isShown());
    EXPECT_EQ(hidden, 0);
}

}  // namespace
}  // namespace framlet
