#include "shelf/ShelfFilter.h"

#include "library/store/ScreenshotStore.h"
#include "shelf/ScreenshotWords.h"

namespace framlet {

ShelfFilter::ShelfFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setDynamicSortFilter(true);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(this, signal, this, &ShelfFilter::visibleIdsChanged);
    }
    connect(this, &QAbstractItemModel::modelReset, this, &ShelfFilter::visibleIdsChanged);
    connect(this, &QAbstractItemModel::layoutChanged, this, &ShelfFilter::visibleIdsChanged);
}

QString ShelfFilter::folderPath(const QUrl& file) {
    const QString path = file.path();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool ShelfFilter::matches(const QUrl& file, const QString& ocrText,
                          const std::optional<QString>& folder, const QString& query) {
    if (folder && folderPath(file) != *folder) {
        return false;
    }
    if (query.isEmpty()) {
        return true;
    }
    const QString needle = query.toLower();
    return file.fileName().toLower().contains(needle) || ocrText.contains(needle);
}

void ShelfFilter::setQuery(const QString& query) {
    if (query == m_query) {
        return;
    }
    m_query = query;
    invalidateRowsFilter();
}

void ShelfFilter::setFolder(const std::optional<QString>& folder) {
    if (folder == m_folder) {
        return;
    }
    m_folder = folder;
    invalidateRowsFilter();
}

QList<QUuid> ShelfFilter::visibleIds() const {
    QList<QUuid> ids;
    ids.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row) {
        ids.append(index(row, 0).data(ScreenshotStore::IdRole).toUuid());
    }
    return ids;
}

QVariant ShelfFilter::data(const QModelIndex& index, int role) const {
    switch (role) {
        case Qt::AccessibleTextRole:
            return ScreenshotWords::name(index.data(Qt::DisplayRole).toString(),
                                         index.data(ScreenshotStore::CreatedAtRole).toDateTime(),
                                         QDateTime::currentDateTime());
        case Qt::AccessibleDescriptionRole:
            return ScreenshotWords::firstWords(index.data(ScreenshotStore::OcrTextRole).toString());
        default:
            return QSortFilterProxyModel::data(index, role);
    }
}

bool ShelfFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QModelIndex row = sourceModel()->index(sourceRow, 0, sourceParent);
    return matches(row.data(ScreenshotStore::UrlRole).toUrl(),
                   row.data(ScreenshotStore::OcrTextRole).toString(), m_folder, m_query);
}

}  // namespace framlet
