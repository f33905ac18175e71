#include "shelf/ThumbnailInteraction.h"

#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QWidget>
#include <algorithm>

#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "platform/FileDrag.h"
#include "shelf/DragImage.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/PreviewPanel.h"  // ImagePreviewController::panel() needs the whole type
#include "shelf/SelectionModel.h"
#include "shelf/SelectionRules.h"
#include "shelf/ShelfActions.h"

namespace framlet {

ThumbnailInteraction::ThumbnailInteraction(ScreenshotStore& store, SelectionModel& selection,
                                           ShelfActions& actions, ImagePreviewController& preview,
                                           VisibleIds visibleIds, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_selection(selection)
    , m_actions(actions)
    , m_preview(preview)
    , m_visibleIds(std::move(visibleIds)) {
    connect(&m_preview, &ImagePreviewController::stepped, this, [this](const QUuid& shown) {
        if (m_stepSelects) {
            SelectionRules::apply(m_selection, SelectionRules::only(shown));
        }
    });
}

bool ThumbnailInteraction::startsDrag(QPointF from, QPointF to) {
    const QPointF delta = to - from;
    return QPointF::dotProduct(delta, delta) > dragThreshold * dragThreshold;
}

QStringList ThumbnailInteraction::menuTitles(int n) {
    if (n <= 1) {
        return {QStringLiteral("Open"),           QStringLiteral("Preview"),
                QStringLiteral("Show in Folder"), QStringLiteral("Copy"),
                QStringLiteral("Copy Path"),      QString(),
                QStringLiteral("Move to Trash")};
    }
    const QString count = QString::number(n);
    return {QStringLiteral("Open %1 Files").arg(count),
            QStringLiteral("Preview"),
            QStringLiteral("Show in Folder"),
            QStringLiteral("Copy %1 Images").arg(count),
            QStringLiteral("Copy %1 Paths").arg(count),
            QString(),
            QStringLiteral("Move %1 to Trash").arg(count)};
}

void ThumbnailInteraction::pressed(const QUuid& id, QPointF position,
                                   Qt::KeyboardModifiers modifiers) {
    m_focusId = id;
    m_downId = id;
    m_downPosition = position;
    m_didDrag = false;
    SelectionRules::apply(m_selection, SelectionRules::mousePressed(
                                           SelectionRules::of(m_selection), id,
                                           SelectionRules::modifierOf(modifiers), m_visibleIds()));
}

void ThumbnailInteraction::moved(QPointF position, QWidget* source) {
    if (!m_downPosition || !startsDrag(*m_downPosition, position)) {
        return;
    }
    // A press starts at most one drag.
    m_downPosition.reset();
    m_didDrag = true;
    SelectionRules::apply(m_selection,
                          SelectionRules::actedOn(SelectionRules::of(m_selection), m_downId));
    startDrag(m_downId, source);
}

void ThumbnailInteraction::released(Qt::KeyboardModifiers modifiers) {
    const QUuid id = m_downId;
    m_downId = QUuid();
    if (m_didDrag || id.isNull()) {
        return;
    }
    SelectionRules::apply(
        m_selection, SelectionRules::mouseReleased(SelectionRules::of(m_selection), id,
                                                   SelectionRules::modifierOf(modifiers), false));
    // An open preview follows the click.
    if (m_preview.isVisible()) {
        presentPreview(id, false);
    }
    m_downPosition.reset();
}

void ThumbnailInteraction::steppedTo(const QUuid& id, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers shift = modifiers & Qt::ShiftModifier;
    pressed(id, QPointF(), shift);
    released(shift);
}

void ThumbnailInteraction::spacePressed() {
    if (m_focusId && m_store.indexOf(*m_focusId) >= 0) {
        presentPreview(*m_focusId, true);
    }
}

void ThumbnailInteraction::startDrag(const QUuid& id, QWidget* source) {
    QList<QUrl> urls;
    QList<QImage> images;
    for (const QUuid& each : SelectionRules::effectiveIds(m_selection.ids(), id, m_visibleIds())) {
        if (const Screenshot* shot = m_store.screenshot(each)) {
            urls.append(shot->url());
            images.append(shot->thumbnail());
        }
    }
    if (urls.isEmpty()) {
        return;
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    const DragImage image(images, source->devicePixelRatioF());
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    drag->setPixmap(image.pixmap());
    drag->setHotSpot(image.hotSpot());
    // Dropping copies the files; the shelf never lets them be moved away.
    const Qt::DropAction action = execFileDrag(*drag, Qt::CopyAction, Qt::CopyAction);
    Q_EMIT dragFinished(action);
}

void ThumbnailInteraction::presentPreview(const QUuid& id, bool toggle) {
    const auto list = SelectionRules::previewList(m_selection.ids(), id, m_visibleIds());
    QList<QUrl> urls;
    QList<QUuid> ids;
    for (const QUuid& each : list.ids) {
        if (const auto url = urlOf(each)) {
            urls.append(*url);
            ids.append(each);
        }
    }
    if (urls.isEmpty()) {
        return;
    }
    const int startAt = std::max(0, int(ids.indexOf(id)));
    m_stepSelects = list.stepSelects;
    if (toggle) {
        m_preview.toggle(urls, ids, startAt);
    } else {
        m_preview.show(urls, ids, startAt);
    }
}

QMenu* ThumbnailInteraction::contextMenu(const QUuid& id, QWidget* parent) {
    SelectionRules::apply(m_selection,
                          SelectionRules::actedOn(SelectionRules::of(m_selection), id));
    const QStringList titles = menuTitles(int(m_selection.ids().size()));
    const QList<std::function<void()>> actions{
        [this, id] { m_actions.open(effectiveUrls(id)); },
        [this, id] { presentPreview(id, false); },
        [this, id] { m_actions.reveal(effectiveUrls(id)); },
        [this, id] { m_actions.copyImages(effectiveUrls(id)); },
        [this, id] { m_actions.copyPaths(effectiveUrls(id)); },
        {},
        [this, id] { moveToTrash(id); },
    };
    auto* menu = new QMenu(parent);
    for (qsizetype i = 0; i < titles.size(); ++i) {
        if (!actions.at(i)) {
            menu->addSeparator();
            continue;
        }
        QAction* item = menu->addAction(titles.at(i));
        connect(item, &QAction::triggered, this, actions.at(i));
    }
    menu->actions().constLast()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    return menu;
}

QList<QUrl> ThumbnailInteraction::effectiveUrls(const QUuid& id) const {
    QList<QUrl> urls;
    for (const QUuid& each : SelectionRules::effectiveIds(m_selection.ids(), id, m_visibleIds())) {
        if (const auto url = urlOf(each)) {
            urls.append(*url);
        }
    }
    return urls;
}

void ThumbnailInteraction::moveToTrash(const QUuid& id) {
    const QList<QUrl> urls = effectiveUrls(id);
    if (!urls.isEmpty()) {
        m_actions.moveToTrash(urls, this, [this](const QList<QUrl>& moved) { removeMoved(moved); });
    }
}

// Only what went to the Trash leaves the shelf: a selected screenshot the filter hides was not
// acted on, and its file is still there.
void ThumbnailInteraction::removeMoved(const QList<QUrl>& moved) {
    SelectionModel::IdSet ids;
    for (const QUrl& url : moved) {
        if (const Screenshot* shot = m_store.screenshot(url)) {
            ids.insert(shot->id());
        }
    }
    m_store.remove(moved);
    m_selection.subtract(ids);
}

std::optional<QUrl> ThumbnailInteraction::urlOf(const QUuid& id) const {
    const Screenshot* shot = m_store.screenshot(id);
    return shot ? std::optional<QUrl>(shot->url()) : std::nullopt;
}

}  // namespace framlet
