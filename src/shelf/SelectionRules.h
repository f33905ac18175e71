#pragma once

#include <QList>
#include <QSet>
#include <QUuid>
#include <Qt>
#include <optional>

namespace framlet {

class SelectionModel;

// How clicks, drags, the preview and the context menu change the shelf's selection, as plain
// functions of the selection and the shelf's visible order (newest first), so that every rule
// holds without a display. Command in a selection click is the Control key on this platform.
namespace SelectionRules {

using IdSet = QSet<QUuid>;
using IdList = QList<QUuid>;

struct Selection {
    IdSet ids;
    std::optional<QUuid> anchor;

    bool operator==(const Selection&) const = default;
};

Selection of(const SelectionModel& model);
void apply(SelectionModel& model, const Selection& selection);

// A click's modifier: Command wins over Shift.
enum class Modifier { none, command, shift };
Modifier modifierOf(Qt::KeyboardModifiers modifiers);

// The clicked item alone, and the anchor on it.
Selection only(const QUuid& id);

// A press: Command toggles the item and moves the anchor to it (also when it was removed);
// Shift adds the inclusive range from a visible anchor to a visible clicked item; otherwise an
// unselected item becomes the only selection and an already selected one leaves it as it is,
// so that a drag can carry the whole selection.
Selection mousePressed(const Selection& current, const QUuid& clicked, Modifier modifier,
                       const IdList& visibleIds);

// A release that ended no drag and came without Command or Shift reduces the selection to the
// clicked item.
Selection mouseReleased(const Selection& current, const QUuid& clicked, Modifier modifier,
                        bool didDrag);

// A drag or a context menu from an item outside the selection selects it alone first.
Selection actedOn(const Selection& current, const QUuid& id);

// What an action of an item works on: the selected items in visible order (selected items the
// filter hides are left out) when the item is selected, the item alone otherwise.
IdList effectiveIds(const IdSet& selected, const QUuid& id, const IdList& visibleIds);

// The list the preview steps through from an item: the selected items in visible order when two
// or more are selected and the item is one of them (stepping then keeps the selection), the whole
// visible list otherwise (stepping then selects the shown item).
struct PreviewList {
    IdList ids;
    bool stepSelects = true;
};
PreviewList previewList(const IdSet& selected, const QUuid& id, const IdList& visibleIds);

}  // namespace SelectionRules
}  // namespace framlet
