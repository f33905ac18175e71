#include "shelf/ThumbnailGrid.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <iterator>
#include <utility>

#include "library/store/ScreenshotStore.h"
#include "shelf/SelectionModel.h"
#include "shelf/ShelfFilter.h"
#include "shelf/ThumbnailDelegate.h"
#include "shelf/ThumbnailInteraction.h"

namespace framlet {

namespace {
constexpr int spinnerInterval = 80;  // ms per step, twelve steps a turn
}

ThumbnailGrid::ThumbnailGrid(ShelfFilter& model, SelectionModel& selection,
                             ThumbnailInteraction& interaction, QWidget* parent)
    : QListView(parent)
    , m_filter(model)
    , m_selection(selection)
    , m_delegate(new ThumbnailDelegate(selection, this))
    , m_interaction(interaction) {
    setFrameShape(QFrame::NoFrame);
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always there, so the columns never change width as the shelf fills (with a bar shown
    // only as needed, the list keeps its width free for it anyway).
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // One stop in the Tab chain; the arrows move within it.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Screenshots"));
    // The half spacing each cell keeps around its thumbnail makes up the rest of the padding.
    const int margin = padding - ThumbnailDelegate::spacing / 2;
    setViewportMargins(margin, margin, margin, margin);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setItemDelegate(m_delegate);
    setModel(&model);
    verticalScrollBar()->setSingleStep(ThumbnailDelegate::thumbnailHeight / 3);

    connect(&selection, &SelectionModel::idsChanged, viewport(), qOverload<>(&QWidget::update));
    connect(&selection, &SelectionModel::idsChanged, this, &ThumbnailGrid::mirrorSelection);
    connect(&model, &ShelfFilter::visibleIdsChanged, this, &ThumbnailGrid::mirrorSelection);
    m_spinner.setInterval(spinnerInterval);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_delegate->advanceSpinner();
        viewport()->update();
        updateSpinner();
    });
    connect(&model, &QAbstractItemModel::rowsInserted, this, &ThumbnailGrid::updateSpinner);
    connect(&model, &QAbstractItemModel::modelReset, this, &ThumbnailGrid::updateSpinner);
    connect(&model, &QAbstractItemModel::layoutChanged, this, &ThumbnailGrid::updateSpinner);
    updateGridSize();
}

void ThumbnailGrid::setColumns(int columns) {
    m_columns = std::max(columns, 1);
    updateGridSize();
}

QUuid ThumbnailGrid::idAt(const QPoint& position) const {
    return indexAt(position).data(ScreenshotStore::IdRole).toUuid();
}

QRect ThumbnailGrid::thumbnailRect(const QUuid& id) const {
    const QList<QUuid> ids = m_filter.visibleIds();
    const qsizetype row = ids.indexOf(id);
    return row < 0 ? QRect()
                   : ThumbnailDelegate::thumbnailRect(visualRect(m_filter.index(int(row), 0)));
}

void ThumbnailGrid::updateGridSize() {
    // The list wraps an item that reaches the viewport's last pixel, so that one stays free.
    const int width = std::max((viewport()->width() - 1) / m_columns, 1);
    setGridSize(QSize(width, ThumbnailDelegate::thumbnailHeight + ThumbnailDelegate::spacing));
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event) {
    updateGridSize();
    QListView::resizeEvent(event);
}

bool ThumbnailGrid::anyLoading() const {
    for (int row = 0; row < m_filter.rowCount(); ++row) {
        const QModelIndex index = m_filter.index(row, 0);
        if (index.data(ScreenshotStore::ThumbnailRole).value<QImage>().isNull() &&
            !index.data(ScreenshotStore::ThumbnailFailedRole).toBool()) {
            return true;
        }
    }
    return false;
}

// The spinners turn only while some thumbnail is still loading.
void ThumbnailGrid::updateSpinner() {
    if (anyLoading()) {
        if (!m_spinner.isActive()) {
            m_spinner.start();
        }
    } else {
        m_spinner.stop();
    }
}

void ThumbnailGrid::mirrorSelection() {
    QItemSelection shown;
    for (int row = 0; row < m_filter.rowCount(); ++row) {
        const QModelIndex index = m_filter.index(row, 0);
        if (m_selection.ids().contains(index.data(ScreenshotStore::IdRole).toUuid())) {
            shown.select(index, index);
        }
    }
    selectionModel()->select(shown, QItemSelectionModel::ClearAndSelect);
}

void ThumbnailGrid::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    setCurrentIndex(indexAt(event->position().toPoint()));
    const QUuid id = idAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && !id.isNull()) {
        m_interaction.pressed(id, event->position(), event->modifiers());
    }
}

// A double click is two single clicks.
void ThumbnailGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void ThumbnailGrid::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        m_interaction.moved(event->position(), this);
    }
}

void ThumbnailGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_interaction.released(event->modifiers());
    }
}

void ThumbnailGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        m_interaction.spacePressed();
        return;
    }
    if (!stepWithArrow(event)) {
        event->ignore();  // Return, Escape and the rest belong to the window
    }
}

bool ThumbnailGrid::stepWithArrow(QKeyEvent* event) {
    static constexpr std::pair<int, CursorAction> kSteps[] = {
        {Qt::Key_Left, MoveLeft}, {Qt::Key_Right, MoveRight}, {Qt::Key_Up, MoveUp},
        {Qt::Key_Down, MoveDown}, {Qt::Key_Home, MoveHome},   {Qt::Key_End, MoveEnd}};
    const auto step = std::find_if(std::begin(kSteps), std::end(kSteps),
                                   [&](const auto& entry) { return entry.first == event->key(); });
    if (step == std::end(kSteps)) {
        return false;
    }
    const QModelIndex next = moveCursor(step->second, event->modifiers());
    if (next.isValid()) {
        setCurrentIndex(next);
        m_interaction.steppedTo(next.data(ScreenshotStore::IdRole).toUuid(), event->modifiers());
    }
    return true;
}

void ThumbnailGrid::contextMenuEvent(QContextMenuEvent* event) {
    // From the keyboard (the Menu key, Shift+F10) the menu is the current screenshot's.
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QModelIndex current = currentIndex();
    const QUuid id = keyboard ? current.data(ScreenshotStore::IdRole).toUuid() : idAt(event->pos());
    if (id.isNull()) {
        return;
    }
    const QPoint at =
        keyboard ? viewport()->mapToGlobal(visualRect(current).center()) : event->globalPos();
    QMenu* menu = m_interaction.contextMenu(id, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setPalette(palette());  // a window of its own: the shelf's theme does not reach it
    menu->popup(at);
}

}  // namespace framlet
