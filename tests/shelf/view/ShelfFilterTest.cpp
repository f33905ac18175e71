#include <gtest/gtest.h>

#include <QSignalSpy>

#include "ShelfFixture.h"
#include "shelf/ScreenshotWords.h"
#include "shelf/ShelfFilter.h"

namespace framlet {
namespace {

QUrl file(const char* path) {
    return QUrl::fromLocalFile(QString::fromUtf8(path));
}

TEST(ShelfFilterRule, FolderIsTheExactParentPath) {
    const QUrl shot = file("/home/ada/Pictures/Screenshots/Shot.png");
    const std::optional<QString> any;
    EXPECT_TRUE(ShelfFilter::matches(shot, {}, any, {}));
    EXPECT_TRUE(
        ShelfFilter::matches(shot, {}, QStringLiteral("/home/ada/Pictures/Screenshots"), {}));
    // Neither an ancestor nor a prefix of the name is the folder.
    EXPECT_FALSE(ShelfFilter::matches(shot, {}, QStringLiteral("/home/ada/Pictures"), {}));
    EXPECT_FALSE(ShelfFilter::matches(shot, {}, QStringLiteral("/home/ada/Pictures/Screen"), {}));
    EXPECT_EQ(ShelfFilter::folderPath(file("/top.png")), QStringLiteral("/"));
}

TEST(ShelfFilterRule, QueryIsOneCaseInsensitiveRunInTheNameOrTheText) {
    const QUrl shot = file("/p/Screenshot 2025-03-07 at 14.05.09.png");
    const std::optional<QString> any;
    // The name alone finds it before any text is recognised.
    EXPECT_TRUE(ShelfFilter::matches(shot, {}, any, QStringLiteral("2025-03")));
    EXPECT_TRUE(ShelfFilter::matches(shot, {}, any, QStringLiteral("SCREENSHOT")));
    // Only the name counts, never the folders above it.
    EXPECT_FALSE(ShelfFilter::matches(file("/home/ada/Invoices/a.png"), {}, any,
                                      QStringLiteral("invoices")));
    // Typed in capitals, found in the lower-cased text.
    EXPECT_TRUE(ShelfFilter::matches(shot, QStringLiteral("invoice total"), any,
                                     QStringLiteral("INVOICE")));
    // Words on two lines are not one run with a space.
    EXPECT_FALSE(ShelfFilter::matches(shot, QStringLiteral("invoice\ntotal"), any,
                                      QStringLiteral("invoice total")));
    // Not trimmed: a trailing space is part of the query.
    EXPECT_FALSE(
        ShelfFilter::matches(shot, QStringLiteral("invoice"), any, QStringLiteral("invoice ")));
    EXPECT_TRUE(
        ShelfFilter::matches(shot, QStringLiteral("invoice due"), any, QStringLiteral("invoice ")));
    // A lone space is a real query, and the name has one.
    EXPECT_TRUE(ShelfFilter::matches(shot, {}, any, QStringLiteral(" ")));
    EXPECT_FALSE(
        ShelfFilter::matches(file("/p/a.png"), QStringLiteral("x"), any, QStringLiteral(" ")));
    // Both rules at once.
    EXPECT_FALSE(ShelfFilter::matches(shot, QStringLiteral("invoice"), QStringLiteral("/q"),
                                      QStringLiteral("invoice")));
}

TEST(ShelfFilterModel, KeepsStoreOrderAndRefiltersWhenTextArrives) {
    test::ShelfFixture shelf;
    const QUuid a = shelf.addShot(QStringLiteral("a.png"));
    const QUuid b = shelf.addShot(QStringLiteral("b.png"));
    const QUuid c = shelf.addShot(QStringLiteral("c.png"));
    ShelfFilter filter;
    filter.setSourceModel(shelf.store.get());
    EXPECT_EQ(filter.visibleIds(), (QList<QUuid>{c, b, a}));

    QSignalSpy changed(&filter, &ShelfFilter::visibleIdsChanged);
    filter.setQuery(QStringLiteral("Receipt"));
    EXPECT_TRUE(filter.visibleIds().isEmpty());
    // Text recognised while the query is shown brings the screenshots in at once, in shelf
    // order whatever order the text came in.
    shelf.recognize(QStringLiteral("a.png"), QStringLiteral("receipt"));
    shelf.recognize(QStringLiteral("c.png"), QStringLiteral("the receipt"));
    EXPECT_EQ(filter.visibleIds(), (QList<QUuid>{c, a}));
    EXPECT_GE(changed.count(), 3);

    // A new screenshot that matches by name comes in at the front.
    const QUuid d = shelf.addShot(QStringLiteral("receipt-2.png"));
    EXPECT_EQ(filter.visibleIds(), (QList<QUuid>{d, c, a}));
}

TEST(ShelfFilterModel, TellsAScreenReaderWhatEachScreenshotIsWhenTakenAndWhatItSays) {
    const QDateTime now(QDate(2026, 12, 7), QTime(12, 0));
    const auto age = [&](qint64 seconds) {
        return ScreenshotWords::age(now.addSecs(-seconds), now);
    };
    EXPECT_EQ(age(-30), QStringLiteral("just now"));  // a clock set back
    EXPECT_EQ(age(59), QStringLiteral("just now"));
    EXPECT_EQ(age(60), QStringLiteral("1 minute ago"));
    EXPECT_EQ(age(150), QStringLiteral("2 minutes ago"));
    EXPECT_EQ(age(3 * 3600 + 5), QStringLiteral("3 hours ago"));
    EXPECT_EQ(age(30 * 3600), QStringLiteral("yesterday"));
    EXPECT_EQ(age(3 * 86400), QStringLiteral("3 days ago"));
    EXPECT_FALSE(age(30 * 86400).contains(u"ago"));

    test::ShelfFixture shelf;
    shelf.addShot(QStringLiteral("Screenshot 3.png"));
    shelf.recognize(
        QStringLiteral("Screenshot 3.png"),
        QStringLiteral(
            "Invoice  42\nDue   on receipt, with thanks from all of us here at the shop"));
    ShelfFilter filter;
    filter.setSourceModel(shelf.store.get());
    const QModelIndex item = filter.index(0, 0);
    EXPECT_TRUE(item.data(Qt::AccessibleTextRole)
                    .toString()
                    .startsWith(QStringLiteral("Screenshot 3.png, ")));
    EXPECT_EQ(item.data(Qt::AccessibleDescriptionRole).toString(),
              QStringLiteral("Invoice 42 Due on receipt, with thanks from all of us here…"));
}

}  // namespace
}  // namespace framlet
