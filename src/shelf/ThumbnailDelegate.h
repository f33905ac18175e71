#pragma once

#include <QColor>
#include <QStyledItemDelegate>

namespace framlet {

class SelectionModel;

// Draws one screenshot of the grid: a 90 px high rounded thumbnail filling its column (the image
// scaled to fit, a warning when it could not be made, a spinner while it loads) and, around a
// selected one, a 3 px ring in the accent colour. Reads the selection from the shelf's own
// model, not from the view's.
class ThumbnailDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int thumbnailHeight = 90;
    static constexpr int spacing = 8;
    static constexpr qreal cornerRadius = 8;
    static constexpr qreal ringWidth = 3;

    explicit ThumbnailDelegate(const SelectionModel& selection, QObject* parent = nullptr);

    static QString failedToolTip();
    // The thumbnail inside a grid cell, which holds half the spacing on every side.
    static QRect thumbnailRect(const QRect& cell);

    // Turns the loading spinners one step.
    void advanceSpinner() { ++m_spinnerStep; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    void paintImage(QPainter& painter, const QRectF& area, const QModelIndex& index) const;
    void paintFailed(QPainter& painter, const QRectF& area,
                     const QStyleOptionViewItem& option) const;
    void paintSpinner(QPainter& painter, const QRectF& area, const QPalette& palette) const;

    const SelectionModel& m_selection;
    int m_spinnerStep = 0;
};

}  // namespace framlet
