#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

namespace framlet {

class ScreenshotStore;

// The screenshots beyond the shelf that match the shelf's query, newest first, kept in a store
// of their own so that the shelf's cells (thumbnails, drag, preview, actions) serve them too.
// A model: no widgets.
class OlderMatches : public QObject {
    Q_OBJECT

public:
    // The older screenshots whose name or text holds the query, newest first, at most `limit`.
    using Search = std::function<QList<QUrl>(const QString& query, int limit)>;

    // More would be decoded for thumbnails than anyone scrolls through.
    static constexpr int limit = 30;

    OlderMatches(ScreenshotStore& store, Search search, QObject* parent = nullptr);

    ScreenshotStore& store() const { return m_store; }
    // Looks the query up; an empty one shows none.
    void setQuery(const QString& query);

private:
    ScreenshotStore& m_store;
    Search m_search;
};

}  // namespace framlet
