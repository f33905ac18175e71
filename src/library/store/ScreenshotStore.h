#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QList>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <limits>

#include "library/ocr/OCRService.h"
#include "library/store/Screenshot.h"

namespace framlet {

class DecodeBudget;
class SharedThumbnails;
class TimerSource;
class ThumbnailLoader;

// The shelf: the screenshots the user took recently, newest (most recently added) first, never
// two with the same URL, at most the history limit long after each addition (none until one is
// set). Adding a file starts its thumbnail and its text recognition. The store only forgets files;
// it never touches them.
//
// As a list model each row is one screenshot; a screenshot's own changes arrive as dataChanged
// for its row. Screenshots belong to the store and are deleted (later) once they leave it, so
// pending work that holds one through a QPointer drops its result. Main thread only.
class ScreenshotStore : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(bool showFirstCaptureCeremony READ showFirstCaptureCeremony WRITE
                   setShowFirstCaptureCeremony NOTIFY showFirstCaptureCeremonyChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        UrlRole,
        CreatedAtRole,
        ThumbnailRole,
        ThumbnailFailedRole,
        OcrTextRole,
        ScreenshotRole,  // the Screenshot* itself, as a QObject*
    };
    Q_ENUM(Role)

    using TextRecognizer = std::function<void(OCRService::Job, OCRService::Completion)>;

    // The largest width or height of a thumbnail until told the cells' size.
    static constexpr int thumbnailSize = 320;

    // Thumbnails are decoded on pool, their retries waited for on timers. Not Qt's global pool:
    // a decode may wait there for the decode budget, while Qt's own scaling and conversion of
    // large images run their helpers on the global pool and wait for them. With shared
    // thumbnails (may be null) they are taken from and given to the desktop's thumbnail folder.
    ScreenshotStore(TextRecognizer recognizeText, DecodeBudget& budget, TimerSource& timers,
                    QThreadPool& pool, const SharedThumbnails* sharedThumbnails = nullptr,
                    QObject* parent = nullptr);
    ~ScreenshotStore() override;

    // Hands the text of each screenshot to service.
    static TextRecognizer recognizerFor(OCRService& service);

    // Puts the file at the front unless its URL is already on the shelf, then trims the shelf
    // to the history limit. A URL that is not a local file is ignored. A capture's thumbnail and
    // text go ahead of the seeds' still waiting; work for a screenshot forgotten before it started
    // is dropped.
    void add(const QUrl& url, const QDateTime& createdAt,
             Screenshot::Arrival arrival = Screenshot::Arrival::seeded);
    // Forgets every screenshot whose URL is listed; the rest keep their order.
    void remove(const QList<QUrl>& urls);
    // The listed files' contents changed: their thumbnails and texts are made again, in place.
    // Not a new capture: no row moves or is added. URLs not on the shelf are ignored.
    void refresh(const QList<QUrl>& urls);
    // Forgets everything, as when the watched folders change.
    void clear();
    // Takes effect at the next addition; nothing is trimmed or comes back before.
    void setHistoryLimit(int limit) { m_historyLimit = limit; }
    // The device pixels of a shelf cell's longest side: thumbnails cover them, and those shown
    // are made again when the cells grew beyond them.
    void setThumbnailPixels(int pixels);

    const QList<Screenshot*>& items() const { return m_items; }
    int count() const { return int(m_items.size()); }
    Screenshot* at(int row) const;
    Screenshot* screenshot(const QUuid& id) const;
    Screenshot* screenshot(const QUrl& url) const;
    // The row of a screenshot, or -1 when it is not on the shelf.
    int indexOf(const QUuid& id) const;
    int indexOf(const Screenshot* screenshot) const;

    bool showFirstCaptureCeremony() const { return m_showFirstCaptureCeremony; }
    void setShowFirstCaptureCeremony(bool show);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void showFirstCaptureCeremonyChanged(bool show);

private:
    void trim();
    void recognizeText(Screenshot* screenshot);
    void watch(Screenshot* screenshot);
    void emitChanged(Screenshot* screenshot, const QList<int>& roles);
    // Removes rows first..last (inclusive) and lets the screenshots go.
    void forget(int first, int last);

    int m_historyLimit = std::numeric_limits<int>::max();
    TextRecognizer m_recognizeText;
    ThumbnailLoader* m_thumbnails;
    QList<Screenshot*> m_items;
    bool m_showFirstCaptureCeremony = false;
};

}  // namespace framlet
