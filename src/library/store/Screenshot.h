#pragma once

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QUrl>
#include <QUuid>
#include <atomic>
#include <memory>

namespace framlet {

// One image file on the shelf. The identity (id, url, createdAt) is fixed at creation; the
// thumbnail and the recognised text arrive later, each at most once. Main thread only.
class Screenshot : public QObject {
    Q_OBJECT
    Q_PROPERTY(QUuid id READ id CONSTANT)
    Q_PROPERTY(QUrl url READ url CONSTANT)
    Q_PROPERTY(QDateTime createdAt READ createdAt CONSTANT)
    Q_PROPERTY(QImage thumbnail READ thumbnail NOTIFY thumbnailLoaded)
    Q_PROPERTY(bool thumbnailFailed READ thumbnailFailed NOTIFY thumbnailGaveUp)
    Q_PROPERTY(QString ocrText READ ocrText NOTIFY textRecognized)

public:
    // Found in a folder (at start-up, or when the watched folders change), or just taken.
    enum class Arrival { seeded, captured };

    Screenshot(const QUrl& url, const QDateTime& createdAt, QObject* parent = nullptr);
    Screenshot(const QUrl& url, const QDateTime& createdAt, Arrival arrival,
               QObject* parent = nullptr);

    QUuid id() const { return m_id; }
    QUrl url() const { return m_url; }
    QDateTime createdAt() const { return m_createdAt; }
    // The local path and its last component, for decoding and log lines.
    QString path() const { return m_url.toLocalFile(); }
    QString fileName() const;
    Arrival arrival() const { return m_arrival; }

    // Set once the shelf forgets the screenshot. Shared so that work queued on a pool thread
    // can see it without touching this object, and skip itself.
    std::shared_ptr<const std::atomic<bool>> leftShelf() const { return m_leftShelf; }
    void markLeftShelf() { m_leftShelf->store(true); }

    // Null until loaded.
    QImage thumbnail() const { return m_thumbnail; }
    bool thumbnailFailed() const { return m_thumbnailFailed; }
    // Lower case; empty until recognised (and when the image has no text).
    QString ocrText() const { return m_ocrText; }

    // Each outcome is final for one content of the file: a thumbnail is set once and never after
    // giving up, and the other way round; the text is set once.
    void setThumbnail(const QImage& thumbnail);
    // The same contents at a larger size, for cells that grew; only over a current thumbnail.
    void enlargeThumbnail(const QImage& thumbnail);
    void markThumbnailFailed();
    void setOcrText(const QString& text);

    // The file's contents changed: the next thumbnail (or giving up) and text replace the ones
    // shown, which stay until then. Work started for an older revision should drop its result.
    void revise();
    quint64 revision() const { return m_revision; }

Q_SIGNALS:
    void thumbnailLoaded();
    void thumbnailGaveUp();
    void textRecognized();

private:
    const QUuid m_id;
    const QUrl m_url;
    const QDateTime m_createdAt;
    const Arrival m_arrival = Arrival::seeded;
    const std::shared_ptr<std::atomic<bool>> m_leftShelf = std::make_shared<std::atomic<bool>>();
    QImage m_thumbnail;
    bool m_thumbnailFailed = false;
    QString m_ocrText;
    bool m_textRecognized = false;
    bool m_thumbnailOutdated = false;
    quint64 m_revision = 0;
};

}  // namespace framlet
