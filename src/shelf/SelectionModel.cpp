#include "shelf/SelectionModel.h"

namespace framlet {

SelectionModel::SelectionModel(QObject* parent) : QObject(parent) {
}

void SelectionModel::setIds(const IdSet& ids) {
    if (ids == m_ids) {
        return;
    }
    m_ids = ids;
    Q_EMIT idsChanged();
}

void SelectionModel::setAnchor(std::optional<QUuid> anchor) {
    if (anchor == m_anchor) {
        return;
    }
    m_anchor = anchor;
    Q_EMIT anchorChanged();
}

void SelectionModel::subtract(const IdSet& ids) {
    setIds(IdSet(m_ids).subtract(ids));
}

void SelectionModel::clear() {
    setIds({});
    setAnchor(std::nullopt);
}

}  // namespace framlet
