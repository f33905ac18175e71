#pragma once

#include <QObject>
#include <QSet>
#include <QUuid>
#include <optional>

namespace framlet {

// Which screenshots of the shelf are selected, and the anchor a Shift-click range starts from.
// A plain observable: the rules that change it live with the events that trigger them.
class SelectionModel : public QObject {
    Q_OBJECT

public:
    using IdSet = QSet<QUuid>;

    explicit SelectionModel(QObject* parent = nullptr);

    const IdSet& ids() const { return m_ids; }
    void setIds(const IdSet& ids);

    std::optional<QUuid> anchor() const { return m_anchor; }
    void setAnchor(std::optional<QUuid> anchor);

    // Files that left the shelf leave the selection; the anchor is never pruned.
    void subtract(const IdSet& ids);
    // Nothing selected and no anchor, as every time the shelf hides.
    void clear();

Q_SIGNALS:
    void idsChanged();
    void anchorChanged();

private:
    IdSet m_ids;
    std::optional<QUuid> m_anchor;
};

}  // namespace framlet
