#include <gtest/gtest.h>

#include <QUuid>

#include "shelf/SelectionRules.h"

namespace framlet {
namespace {

using namespace SelectionRules;

// Six screenshots in visible order, item(1) first, as the tables number them.
class SelectionRulesTest : public ::testing::Test {
protected:
    SelectionRulesTest() {
        for (int i = 0; i < 6; ++i) {
            visible.append(QUuid::createUuid());
        }
    }
    QUuid item(int n) const { return visible.at(n - 1); }
    IdSet items(std::initializer_list<int> numbers) const {
        IdSet set;
        for (int n : numbers) {
            set.insert(item(n));
        }
        return set;
    }
    Selection press(const Selection& s, int n, Modifier modifier) const {
        return mousePressed(s, item(n), modifier, visible);
    }
    // A whole click: press and release without moving.
    Selection click(const Selection& s, int n, Modifier modifier) const {
        return mouseReleased(press(s, n, modifier), item(n), modifier, false);
    }

    IdList visible;
};

TEST_F(SelectionRulesTest, ControlWinsOverShiftAndStandsForCommand) {
    EXPECT_EQ(modifierOf(Qt::ControlModifier), Modifier::command);
    EXPECT_EQ(modifierOf(Qt::ControlModifier | Qt::ShiftModifier), Modifier::command);
    EXPECT_EQ(modifierOf(Qt::ShiftModifier), Modifier::shift);
    EXPECT_EQ(modifierOf(Qt::AltModifier), Modifier::none);
}

TEST_F(SelectionRulesTest, CommandTogglesAndMovesTheAnchorAndShiftAddsTheRangeFromIt) {
    // Click 1, Command-click 5, Shift-click 3: 1, 3, 4 and 5, anchor still on 5.
    Selection s = click({}, 1, Modifier::none);
    s = click(s, 5, Modifier::command);
    EXPECT_EQ(s, (Selection{items({1, 5}), item(5)}));
    s = click(s, 3, Modifier::shift);
    EXPECT_EQ(s, (Selection{items({1, 3, 4, 5}), item(5)}));
    s = click(s, 6, Modifier::shift);  // the other direction
    EXPECT_EQ(s, (Selection{items({1, 3, 4, 5, 6}), item(5)}));
    // Removing the only selected item leaves the anchor on it, and a range then starts there.
    s = click(Selection{items({2}), item(2)}, 2, Modifier::command);
    EXPECT_EQ(s, (Selection{{}, item(2)}));
    s = click(s, 4, Modifier::shift);
    EXPECT_EQ(s, (Selection{items({2, 3, 4}), item(2)}));
}

TEST_F(SelectionRulesTest, ShiftWithoutAUsableAnchorIsAPlainClick) {
    // A fresh shelf: no anchor.
    EXPECT_EQ(press({}, 3, Modifier::shift), (Selection{items({3}), item(3)}));
    // The anchor is hidden by the search or gone.
    const Selection hiddenAnchor{items({1}), QUuid::createUuid()};
    EXPECT_EQ(press(hiddenAnchor, 4, Modifier::shift), (Selection{items({4}), item(4)}));
    // The anchor is visible but the pressed item is selected already: as a plain press, nothing
    // changes.
    const Selection selected{items({2, 4}), QUuid::createUuid()};
    EXPECT_EQ(press(selected, 4, Modifier::shift), selected);
    // A clicked item outside the visible list gives no range either.
    const QUuid outside = QUuid::createUuid();
    EXPECT_EQ(mousePressed({items({2}), item(2)}, outside, Modifier::shift, visible),
              only(outside));
}

TEST_F(SelectionRulesTest, APlainPressKeepsAMultiSelectionUntilTheReleaseWithoutADrag) {
    const Selection three{items({1, 2, 3}), item(1)};
    EXPECT_EQ(press(three, 2, Modifier::none), three);
    EXPECT_EQ(press(three, 5, Modifier::none), (Selection{items({5}), item(5)}));
    // Released without moving: only the pressed item is left.
    EXPECT_EQ(mouseReleased(three, item(2), Modifier::none, false), only(item(2)));
    // Released after a drag, or with a modifier: the selection stays.
    EXPECT_EQ(mouseReleased(three, item(2), Modifier::none, true), three);
    EXPECT_EQ(mouseReleased(three, item(2), Modifier::command, false), three);
    EXPECT_EQ(mouseReleased(three, item(2), Modifier::shift, false), three);
}

TEST_F(SelectionRulesTest, ADragOrMenuFromAnUnselectedItemTakesItAlone) {
    const Selection three{items({1, 2, 3}), item(1)};
    EXPECT_EQ(actedOn(three, item(2)), three);
    EXPECT_EQ(actedOn(three, item(6)), only(item(6)));
    // Command-click deselects an item; a drag from it then carries it alone.
    const Selection toggled = press(three, 2, Modifier::command);
    EXPECT_EQ(actedOn(toggled, item(2)), only(item(2)));
}

TEST_F(SelectionRulesTest, ActionsWorkOnTheVisibleSelectionInShelfOrder) {
    const IdSet selected = items({5, 1, 3});
    EXPECT_EQ(effectiveIds(selected, item(3), visible), (IdList{item(1), item(3), item(5)}));
    EXPECT_EQ(effectiveIds(selected, item(2), visible), IdList{item(2)});
    // Item 3 hidden by the search: left out, though still selected.
    IdList filtered = visible;
    filtered.removeAll(item(3));
    EXPECT_EQ(effectiveIds(selected, item(5), filtered), (IdList{item(1), item(5)}));
}

TEST_F(SelectionRulesTest, ThePreviewStepsThroughASelectionOrTheWholeShelf) {
    const PreviewList inSelection = previewList(items({4, 2}), item(4), visible);
    EXPECT_EQ(inSelection.ids, (IdList{item(2), item(4)}));
    EXPECT_FALSE(inSelection.stepSelects);
    for (const IdSet& selected : {IdSet{}, items({4}), items({1, 2})}) {
        const PreviewList whole = previewList(selected, item(4), visible);
        EXPECT_EQ(whole.ids, visible);
        EXPECT_TRUE(whole.stepSelects);
    }
}

}  // namespace
}  // namespace framlet
