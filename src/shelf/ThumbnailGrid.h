#pragma once

#include <QListView>
#include <QTimer>
#include <QUuid>

namespace framlet {

class SelectionModel;
class ShelfFilter;
class ThumbnailDelegate;
class ThumbnailInteraction;

// The shelf's screenshots as a grid of equal flexible columns, scrolling vertically. It draws
// through ThumbnailDelegate (only the rows in view are painted) and hands every press, drag, key
// and context-menu request to ThumbnailInteraction; the shelf's own selection model, not the
// view's, says what is selected.
class ThumbnailGrid : public QListView {
    Q_OBJECT

public:
    ThumbnailGrid(ShelfFilter& model, SelectionModel& selection, ThumbnailInteraction& interaction,
                  QWidget* parent = nullptr);

    static constexpr int padding = 8;

    // At least one.
    int columns() const { return m_columns; }
    void setColumns(int columns);

    // The screenshot under a point of the viewport, or a null id.
    QUuid idAt(const QPoint& position) const;
    // Where a screenshot's thumbnail is in the viewport; empty when it is not shown.
    QRect thumbnailRect(const QUuid& id) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateGridSize();
    // The shelf's selection, shown to screen readers through the view's own selection model.
    void mirrorSelection();
    bool stepWithArrow(QKeyEvent* event);
    void updateSpinner();
    bool anyLoading() const;

    ShelfFilter& m_filter;
    SelectionModel& m_selection;
    ThumbnailDelegate* m_delegate;
    ThumbnailInteraction& m_interaction;
    QTimer m_spinner;
    int m_columns = 1;
};

}  // namespace framlet
