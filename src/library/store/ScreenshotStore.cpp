#include "library/store/ScreenshotStore.h"

#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <algorithm>

#include "library/store/Screenshot.h"
#include "library/store/ThumbnailLoader.h"

namespace framlet {

ScreenshotStore::ScreenshotStore(TextRecognizer recognizeText, DecodeBudget& budget,
                                 TimerSource& timers, QThreadPool& pool,
                                 const SharedThumbnails* sharedThumbnails, QObject* parent)
    : QAbstractListModel(parent)
    , m_recognizeText(std::move(recognizeText))
    , m_thumbnails(
          new ThumbnailLoader(thumbnailSize, sharedThumbnails, budget, timers, pool, this)) {
}

ScreenshotStore::~ScreenshotStore() = default;

ScreenshotStore::TextRecognizer ScreenshotStore::recognizerFor(OCRService& service) {
    return [&service](OCRService::Job job, OCRService::Completion completion) {
        service.recognizeText(std::move(job), std::move(completion));
    };
}

void ScreenshotStore::add(const QUrl& url, const QDateTime& createdAt,
                          Screenshot::Arrival arrival) {
    if (!url.isLocalFile() || screenshot(url)) {
        return;
    }
    auto* item = new Screenshot(url, createdAt, arrival, this);
    watch(item);
    beginInsertRows(QModelIndex(), 0, 0);
    m_items.prepend(item);
    endInsertRows();
    m_thumbnails->load(item);
    recognizeText(item);
    trim();
}

void ScreenshotStore::remove(const QList<QUrl>& urls) {
    const QSet<QUrl> forgotten(urls.cbegin(), urls.cend());
    // From the back, one contiguous run at a time, so the rows still to visit keep their numbers.
    int row = count() - 1;
    while (row >= 0) {
        if (!forgotten.contains(m_items.at(row)->url())) {
            --row;
            continue;
        }
        const int last = row;
        while (row > 0 && forgotten.contains(m_items.at(row - 1)->url())) {
            --row;
        }
        forget(row, last);
        --row;
    }
}

void ScreenshotStore::refresh(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (Screenshot* item = screenshot(url)) {
            item->revise();
            m_thumbnails->load(item);
            recognizeText(item);
        }
    }
}

void ScreenshotStore::clear() {
    if (!m_items.isEmpty()) {
        forget(0, count() - 1);
    }
}

void ScreenshotStore::setThumbnailPixels(int pixels) {
    m_thumbnails->setPixels(pixels, m_items);
}

void ScreenshotStore::trim() {
    const int limit = std::max(0, m_historyLimit);
    if (count() > limit) {
        forget(limit, count() - 1);
    }
}

void ScreenshotStore::forget(int first, int last) {
    beginRemoveRows(QModelIndex(), first, last);
    const QList<Screenshot*> gone = m_items.mid(first, last - first + 1);
    m_items.remove(first, last - first + 1);
    endRemoveRows();
    // Later, so that whoever handled the removal may still read the screenshot in this turn.
    for (Screenshot* item : gone) {
        item->markLeftShelf();
        item->disconnect(this);
        item->deleteLater();
    }
}

void ScreenshotStore::recognizeText(Screenshot* screenshot) {
    const QPointer<Screenshot> weak(screenshot);
    const quint64 revision = screenshot->revision();
    // Asked on the main thread: not wanted once it left the shelf or its file changed again.
    const auto current = [weak, revision] {
        return weak && !weak->leftShelf()->load() && weak->revision() == revision;
    };
    OCRService::Job job{screenshot->path(),
                        screenshot->arrival() == Screenshot::Arrival::captured
                            ? OCRService::Urgency::live
                            : OCRService::Urgency::seed,
                        current};
    m_recognizeText(std::move(job), [weak, current](const QString& text) {
        if (current()) {
            weak->setOcrText(text);
        }
    });
}

void ScreenshotStore::watch(Screenshot* screenshot) {
    connect(screenshot, &Screenshot::thumbnailLoaded, this, [this, screenshot] {
        emitChanged(screenshot, {ThumbnailRole, Qt::DecorationRole});
    });
    connect(screenshot, &Screenshot::thumbnailGaveUp, this,
            [this, screenshot] { emitChanged(screenshot, {ThumbnailFailedRole}); });
    connect(screenshot, &Screenshot::textRecognized, this,
            [this, screenshot] { emitChanged(screenshot, {OcrTextRole}); });
}

void ScreenshotStore::emitChanged(Screenshot* screenshot, const QList<int>& roles) {
    const int row = indexOf(screenshot);
    if (row >= 0) {
        const QModelIndex changed = index(row);
        Q_EMIT dataChanged(changed, changed, roles);
    }
}

Screenshot* ScreenshotStore::at(int row) const {
    return row >= 0 && row < count() ? m_items.at(row) : nullptr;
}

Screenshot* ScreenshotStore::screenshot(const QUuid& id) const {
    return at(indexOf(id));
}

Screenshot* ScreenshotStore::screenshot(const QUrl& url) const {
    const auto found = std::find_if(m_items.cbegin(), m_items.cend(),
                                    [&url](const Screenshot* item) { return item->url() == url; });
    return found == m_items.cend() ? nullptr : *found;
}

int ScreenshotStore::indexOf(const QUuid& id) const {
    const auto found = std::find_if(m_items.cbegin(), m_items.cend(),
                                    [&id](const Screenshot* item) { return item->id() == id; });
    return found == m_items.cend() ? -1 : int(found - m_items.cbegin());
}

int ScreenshotStore::indexOf(const Screenshot* screenshot) const {
    return int(m_items.indexOf(screenshot));
}

void ScreenshotStore::setShowFirstCaptureCeremony(bool show) {
    if (m_showFirstCaptureCeremony == show) {
        return;
    }
    m_showFirstCaptureCeremony = show;
    Q_EMIT showFirstCaptureCeremonyChanged(show);
}

int ScreenshotStore::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ScreenshotStore::data(const QModelIndex& index, int role) const {
    const Screenshot* item =
        index.isValid() && !index.parent().isValid() ? at(index.row()) : nullptr;
    if (!item) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return item->fileName();
        case Qt::DecorationRole:
        case ThumbnailRole:
            return item->thumbnail();
        case IdRole:
            return item->id();
        case UrlRole:
            return item->url();
        case CreatedAtRole:
            return item->createdAt();
        case ThumbnailFailedRole:
            return item->thumbnailFailed();
        case OcrTextRole:
            return item->ocrText();
        case ScreenshotRole:
            return QVariant::fromValue(static_cast<QObject*>(const_cast<Screenshot*>(item)));
        default:
            return {};
    }
}

QHash<int, QByteArray> ScreenshotStore::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(IdRole, "id");
    names.insert(UrlRole, "url");
    names.insert(CreatedAtRole, "createdAt");
    names.insert(ThumbnailRole, "thumbnail");
    names.insert(ThumbnailFailedRole, "thumbnailFailed");
    names.insert(OcrTextRole, "ocrText");
    names.insert(ScreenshotRole, "screenshot");
    return names;
}

}  // namespace framlet
