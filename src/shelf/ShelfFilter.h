#pragma once

#include <QList>
#include <QSortFilterProxyModel>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace framlet {

// The screenshots the shelf shows: those of the store, in the store's order (never re-sorted),
// kept by folder and by query. Over a ScreenshotStore; a screenshot whose text arrives while a
// query is set is filtered again at once.
class ShelfFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit ShelfFilter(QObject* parent = nullptr);

    // A folder filter keeps a file only when the path of its folder equals the given path exactly.
    // A query keeps a file whose name or recognised text contains it, lower-cased, as one run of
    // characters; it is not trimmed, so a lone space is a real query. An empty query keeps all.
    static bool matches(const QUrl& file, const QString& ocrText,
                        const std::optional<QString>& folder, const QString& query);
    // The path a folder filter compares with: the file's path without its last component.
    static QString folderPath(const QUrl& file);

    QString query() const { return m_query; }
    void setQuery(const QString& query);
    std::optional<QString> folder() const { return m_folder; }
    void setFolder(const std::optional<QString>& folder);

    // The ids of the shown screenshots, in display order.
    QList<QUuid> visibleIds() const;

    // The store's roles, and each screenshot in words for screen readers: the accessible text
    // names it and says when it was taken, the description gives the first words seen in it.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The shown list changed: rows came, went or were filtered anew.
    void visibleIdsChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_query;
    std::optional<QString> m_folder;
};

}  // namespace framlet
