#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

class QMenu;
class QWidget;

namespace framlet {

class ImagePreviewController;
class ScreenshotStore;
class SelectionModel;
class ShelfActions;

// What the user does to the shelf's thumbnails with the mouse and the keyboard: selection
// clicks, dragging files out, Space for the preview and the context menu. The grid hands it
// its events, already resolved to the screenshot under the pointer.
class ThumbnailInteraction : public QObject {
    Q_OBJECT

public:
    // The shelf's visible order: ranges, drags, previews and actions follow it.
    using VisibleIds = std::function<QList<QUuid>()>;

    ThumbnailInteraction(ScreenshotStore& store, SelectionModel& selection, ShelfActions& actions,
                         ImagePreviewController& preview, VisibleIds visibleIds,
                         QObject* parent = nullptr);

    // A drag starts once the pointer has moved more than this many pixels from the press.
    static constexpr qreal dragThreshold = 3;
    static bool startsDrag(QPointF from, QPointF to);

    // The context menu's item titles for n selected screenshots, an empty string for the
    // separator.
    static QStringList menuTitles(int n);

    void pressed(const QUuid& id, QPointF position, Qt::KeyboardModifiers modifiers);
    // Starts the drag (and returns once it ended) when the pointer has gone far enough.
    void moved(QPointF position, QWidget* source);
    // The release of the press, wherever the pointer is now.
    void released(Qt::KeyboardModifiers modifiers);
    // Space on the thumbnail pressed last.
    void spacePressed();
    // An arrow key moved to the screenshot: selected as a click would, Shift extending the range.
    void steppedTo(const QUuid& id, Qt::KeyboardModifiers modifiers);
    // A new menu for the screenshot, selected alone first if it was not selected; the caller
    // shows and deletes it.
    QMenu* contextMenu(const QUuid& id, QWidget* parent);

    // Opens the preview from the screenshot, or closes it when toggling an open one.
    void presentPreview(const QUuid& id, bool toggle);

    // Drags, menus and the preview all act on these: the selection in visible order when the
    // screenshot is selected, the screenshot alone otherwise; files gone from the shelf are left
    // out.
    QList<QUrl> effectiveUrls(const QUuid& id) const;

Q_SIGNALS:
    // A drag session ended, whatever became of it.
    void dragFinished(Qt::DropAction action);

private:
    void startDrag(const QUuid& id, QWidget* source);
    void moveToTrash(const QUuid& id);
    void removeMoved(const QList<QUrl>& moved);
    std::optional<QUrl> urlOf(const QUuid& id) const;

    ScreenshotStore& m_store;
    SelectionModel& m_selection;
    ShelfActions& m_actions;
    ImagePreviewController& m_preview;
    VisibleIds m_visibleIds;
    std::optional<QPointF> m_downPosition;
    QUuid m_downId;
    bool m_didDrag = false;
    // The thumbnail that last took a press: the one Space acts on.
    std::optional<QUuid> m_focusId;
    // Whether stepping through the preview this opened selects what it shows.
    bool m_stepSelects = false;
};

}  // namespace framlet
