#include "shelf/OlderMatches.h"

#include <QDateTime>

#include "library/store/ScreenshotStore.h"

namespace framlet {

OlderMatches::OlderMatches(ScreenshotStore& store, Search search, QObject* parent)
    : QObject(parent), m_store(store), m_search(std::move(search)) {
}

void OlderMatches::setQuery(const QString& query) {
    const QList<QUrl> found = query.isEmpty() ? QList<QUrl>() : m_search(query, limit);
    QList<QUrl> shown;
    for (const Screenshot* item : m_store.items()) {
        shown.append(item->url());
    }
    if (found == shown) {
        return;  // typing on within the same matches keeps their thumbnails
    }
    m_store.clear();
    // The store puts each addition first.
    for (auto url = found.crbegin(); url != found.crend(); ++url) {
        m_store.add(*url, QDateTime());
    }
}

}  // namespace framlet
