#include "shelf/SelectionRules.h"

#include <algorithm>

#include "shelf/SelectionModel.h"

namespace framlet::SelectionRules {

namespace {

IdList selectedInOrder(const IdSet& selected, const IdList& visibleIds) {
    IdList ids;
    std::copy_if(visibleIds.cbegin(), visibleIds.cend(), std::back_inserter(ids),
                 [&selected](const QUuid& id) { return selected.contains(id); });
    return ids;
}

Selection toggled(const Selection& current, const QUuid& clicked) {
    Selection next = current;
    if (!next.ids.remove(clicked)) {
        next.ids.insert(clicked);
    }
    next.anchor = clicked;
    return next;
}

Selection plainPress(const Selection& current, const QUuid& clicked) {
    return current.ids.contains(clicked) ? current : only(clicked);
}

// An anchor that is gone or hidden, or a clicked item outside the visible list, gives no range.
std::optional<Selection> extended(const Selection& current, const QUuid& clicked,
                                  const IdList& visibleIds) {
    const qsizetype from = current.anchor ? visibleIds.indexOf(*current.anchor) : -1;
    const qsizetype to = visibleIds.indexOf(clicked);
    if (from < 0 || to < 0) {
        return std::nullopt;
    }
    Selection next = current;
    for (qsizetype i = std::min(from, to); i <= std::max(from, to); ++i) {
        next.ids.insert(visibleIds.at(i));
    }
    return next;
}

}  // namespace

Selection of(const SelectionModel& model) {
    return {model.ids(), model.anchor()};
}

void apply(SelectionModel& model, const Selection& selection) {
    model.setIds(selection.ids);
    model.setAnchor(selection.anchor);
}

Modifier modifierOf(Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::ControlModifier) {
        return Modifier::command;
    }
    return modifiers & Qt::ShiftModifier ? Modifier::shift : Modifier::none;
}

Selection only(const QUuid& id) {
    return {{id}, id};
}

Selection mousePressed(const Selection& current, const QUuid& clicked, Modifier modifier,
                       const IdList& visibleIds) {
    switch (modifier) {
        case Modifier::command:
            return toggled(current, clicked);
        case Modifier::shift:
            return extended(current, clicked, visibleIds).value_or(plainPress(current, clicked));
        case Modifier::none:
            break;
    }
    return plainPress(current, clicked);
}

Selection mouseReleased(const Selection& current, const QUuid& clicked, Modifier modifier,
                        bool didDrag) {
    return didDrag || modifier != Modifier::none ? current : only(clicked);
}

Selection actedOn(const Selection& current, const QUuid& id) {
    return current.ids.contains(id) ? current : only(id);
}

IdList effectiveIds(const IdSet& selected, const QUuid& id, const IdList& visibleIds) {
    return selected.contains(id) ? selectedInOrder(selected, visibleIds) : IdList{id};
}

PreviewList previewList(const IdSet& selected, const QUuid& id, const IdList& visibleIds) {
    if (selected.size() >= 2 && selected.contains(id)) {
        return {selectedInOrder(selected, visibleIds), false};
    }
    return {visibleIds, true};
}

}  // namespace framlet::SelectionRules
