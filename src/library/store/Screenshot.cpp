#include "library/store/Screenshot.h"

#include <QFileInfo>

namespace framlet {

Screenshot::Screenshot(const QUrl& url, const QDateTime& createdAt, QObject* parent)
    : Screenshot(url, createdAt, Arrival::seeded, parent) {
}

Screenshot::Screenshot(const QUrl& url, const QDateTime& createdAt, Arrival arrival,
                       QObject* parent)
    : QObject(parent)
    , m_id(QUuid::createUuid())
    , m_url(url)
    , m_createdAt(createdAt)
    , m_arrival(arrival) {
}

QString Screenshot::fileName() const {
    return QFileInfo(path()).fileName();
}

void Screenshot::setThumbnail(const QImage& thumbnail) {
    if (thumbnail.isNull() || (!m_thumbnail.isNull() && !m_thumbnailOutdated) ||
        m_thumbnailFailed) {
        return;
    }
    m_thumbnail = thumbnail;
    m_thumbnailOutdated = false;
    Q_EMIT thumbnailLoaded();
}

void Screenshot::enlargeThumbnail(const QImage& thumbnail) {
    if (thumbnail.isNull() || m_thumbnail.isNull() || m_thumbnailOutdated) {
        return;
    }
    m_thumbnail = thumbnail;
    Q_EMIT thumbnailLoaded();
}

void Screenshot::markThumbnailFailed() {
    if (m_thumbnailFailed || (!m_thumbnail.isNull() && !m_thumbnailOutdated)) {
        return;
    }
    m_thumbnail = QImage();
    m_thumbnailOutdated = false;
    m_thumbnailFailed = true;
    Q_EMIT thumbnailGaveUp();
}

void Screenshot::revise() {
    ++m_revision;
    m_thumbnailOutdated = !m_thumbnail.isNull();
    m_thumbnailFailed = false;
    m_textRecognized = false;
}

void Screenshot::setOcrText(const QString& text) {
    if (m_textRecognized) {
        return;
    }
    m_textRecognized = true;
    m_ocrText = text;
    Q_EMIT textRecognized();
}

}  // namespace framlet
