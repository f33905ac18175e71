#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include "ShelfFixture.h"
#include "platform/TimerSource.h"
#include "shelf/FirstCaptureBanner.h"
#include "shelf/OlderMatches.h"
#include "shelf/PanelView.h"
#include "shelf/ShelfFilter.h"
#include "shelf/ThumbnailGrid.h"
#include "shelf/ThumbnailInteraction.h"

namespace framlet {
namespace {

void trigger(QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions()) {
        if (action->text() == title) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no menu item " << title.toStdString();
}

class PanelViewTest : public ::testing::Test {
protected:
    bool emptyStateShown() const { return view.emptyState()->isVisibleTo(&view); }
    QString emptyText(const char* name) const {
        auto* label = view.findChild<QLabel*>(QString::fromLatin1(name));
        return label && label->isVisibleTo(&view) ? label->text() : QString();
    }

    test::ShelfFixture shelf;
    PanelView view{*shelf.store, shelf.selection, shelf.settings, shelf.services()};
};

TEST_F(PanelViewTest, EmptyStateAndFooterCount) {
    EXPECT_TRUE(emptyStateShown());
    EXPECT_EQ(emptyText("emptyTitle"), QStringLiteral("No screenshots yet"));
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("0 shots"));

    const QUuid a = shelf.addShot(QStringLiteral("alpha.png"));
    const QUuid b = shelf.addShot(QStringLiteral("beta.png"));
    const QUuid c = shelf.addShot(QStringLiteral("gamma.png"));
    EXPECT_FALSE(emptyStateShown());
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("3 shots"));

    view.searchField()->setText(QStringLiteral("zzz"));
    EXPECT_TRUE(emptyStateShown());
    EXPECT_EQ(emptyText("emptyTitle"), QStringLiteral("No matches"));
    EXPECT_EQ(emptyText("emptyCaption"), QString());
    // The footer counts the whole shelf, not what the search shows, and selected screenshots
    // while there are any, hidden ones included.
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("3 shots"));
    shelf.selection.setIds({a, b, c});
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("3 selected"));
    shelf.selection.clear();
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("3 shots"));

    view.findChild<QToolButton*>(QStringLiteral("clearSearch"))->click();
    EXPECT_TRUE(view.searchField()->text().isEmpty());
    EXPECT_FALSE(emptyStateShown());
}

TEST(PanelViewOlder, OlderMatchesComeBelowTheShelfsOwnInASectionOfTheirOwn) {
    test::ShelfFixture shelf;
    ScreenshotStore olderStore([](OCRService::Job, OCRService::Completion) {}, shelf.budget,
                               TimerSource::realTime(), shelf.thumbnails);
    const QList<QUrl> older{QUrl::fromLocalFile(shelf.path(QStringLiteral("march.png"))),
                            QUrl::fromLocalFile(shelf.path(QStringLiteral("february.png")))};
    QStringList asked;
    OlderMatches matches(olderStore, [&](const QString& query, int limit) {
        asked.append(query);
        EXPECT_EQ(limit, OlderMatches::limit);
        return query.startsWith(QStringLiteral("inv")) ? older : QList<QUrl>();
    });
    ShelfServices services = shelf.services();
    services.older = &matches;
    PanelView view(*shelf.store, shelf.selection, shelf.settings, services);
    view.show();
    shelf.addShot(QStringLiteral("invoice.png"));
    shelf.addShot(QStringLiteral("beach.png"));
    ASSERT_TRUE(view.olderSection());
    EXPECT_FALSE(view.olderSection()->isVisible());

    view.searchField()->setText(QStringLiteral("inv"));
    EXPECT_TRUE(view.olderSection()->isVisible());
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("olderHeader"))->text(),
              QStringLiteral("Older screenshots"));
    ASSERT_EQ(olderStore.count(), 2);
    EXPECT_EQ(olderStore.at(0)->url(), older[0]);  // newest first, as found
    EXPECT_EQ(view.filter().rowCount(), 1);
    EXPECT_EQ(view.olderGrid()->model()->rowCount(), 2);
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("2 shots"));  // the shelf's alone
    // The same matches typed on keep their cells.
    const QUuid first = olderStore.at(0)->id();
    view.searchField()->setText(QStringLiteral("invo"));
    EXPECT_EQ(olderStore.at(0)->id(), first);

    // Only older matches: shown without the empty state.
    shelf.store->clear();
    EXPECT_TRUE(view.olderSection()->isVisible());
    EXPECT_FALSE(view.grid()->isVisible());
    EXPECT_FALSE(view.emptyState()->isVisible());
    view.searchField()->clear();
    EXPECT_FALSE(view.olderSection()->isVisible());
    EXPECT_EQ(olderStore.count(), 0);
    EXPECT_TRUE(view.emptyState()->isVisible());
    EXPECT_EQ(asked.last(), QStringLiteral("invo"));  // an empty query asks nothing
}

TEST_F(PanelViewTest, FolderPickerNeedsTwoFoldersAndFilters) {
    view.show();
    EXPECT_FALSE(view.folderPicker()->isVisibleTo(&view));
    const QString other = shelf.dir.filePath(QStringLiteral("Elsewhere"));
    QDir().mkpath(other);
    const QUuid here = shelf.addShot(QStringLiteral("here.png"));
    const QUuid there = shelf.addShot(QStringLiteral("there.png"), other);

    shelf.settings.setWatchedFolders({shelf.dir.path(), other + QLatin1Char('/')});
    QTabBar* picker = view.folderPicker();
    ASSERT_TRUE(picker->isVisibleTo(&view));
    ASSERT_EQ(picker->count(), 3);
    EXPECT_EQ(picker->tabText(0), QStringLiteral("All"));
    EXPECT_EQ(picker->tabText(1), QDir(shelf.dir.path()).dirName());
    EXPECT_EQ(picker->tabText(2), QStringLiteral("Elsewhere"));

    // A folder written with a trailing slash still matches its files.
    picker->setCurrentIndex(2);
    EXPECT_EQ(view.filter().visibleIds(), QList<QUuid>{there});
    picker->setCurrentIndex(1);
    EXPECT_EQ(view.filter().visibleIds(), QList<QUuid>{here});

    // Back to one folder: no picker, and no filter left that nothing could undo.
    shelf.settings.setWatchedFolders({other});
    EXPECT_FALSE(picker->isVisibleTo(&view));
    EXPECT_EQ(view.filter().visibleIds(), (QList<QUuid>{there, here}));
}

TEST_F(PanelViewTest, DismissingTheBannerIsRemembered) {
    EXPECT_FALSE(view.banner()->isVisibleTo(&view));
    shelf.store->setShowFirstCaptureCeremony(true);
    EXPECT_TRUE(view.banner()->isVisibleTo(&view));

    view.banner()->findChild<QToolButton*>(QStringLiteral("dismiss"))->click();
    EXPECT_FALSE(view.banner()->isVisibleTo(&view));
    EXPECT_FALSE(shelf.store->showFirstCaptureCeremony());
    EXPECT_TRUE(UserDefaults(shelf.defaults.filePath())
                    .boolean(QStringLiteral("hasCelebratedFirstCapture")));
}

TEST_F(PanelViewTest, SizeColumnsAndFooterButtons) {
    shelf.settings.setPanelHeight(500);
    EXPECT_EQ(view.sizeHint(), QSize(380, 500));
    EXPECT_EQ(view.size(), QSize(380, 500));
    for (int i = 0; i < 8; ++i) {
        shelf.addShot(QStringLiteral("shot %1.png").arg(i));
    }
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QList<QUuid> ids = view.filter().visibleIds();
    const auto rowOf = [&](int i) { return view.grid()->thumbnailRect(ids.at(i)).top(); };

    shelf.settings.setColumns(4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowOf(3) == rowOf(0); }, 2000));
    EXPECT_GT(rowOf(4), rowOf(0));
    EXPECT_EQ(view.grid()->thumbnailRect(ids.at(0)).width(),
              view.grid()->thumbnailRect(ids.at(3)).width());
    EXPECT_EQ(view.grid()->thumbnailRect(ids.at(0)).height(), 90);

    shelf.settings.setColumns(0);
    EXPECT_EQ(view.grid()->columns(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowOf(1) > rowOf(0); }, 2000));

    EXPECT_EQ(view.findChild<QToolButton*>(QStringLiteral("update")), nullptr);
    QStringList requested;
    QObject::connect(&view, &PanelView::updateCheckRequested, [&] { requested << "update"; });
    QObject::connect(&view, &PanelView::settingsRequested, [&] { requested << "settings"; });
    QObject::connect(&view, &PanelView::quitRequested, [&] { requested << "quit"; });
    view.setUpdateCheckOffered(true);
    auto* update = view.findChild<QToolButton*>(QStringLiteral("update"));
    ASSERT_NE(update, nullptr);
    update->click();
    view.settingsButton()->click();
    view.quitButton()->click();
    EXPECT_EQ(requested, (QStringList{"update", "settings", "quit"}));
}

TEST_F(PanelViewTest, TheContextMenuCountsTheWholeSelectionAndActsOnTheShownPart) {
    EXPECT_EQ(ThumbnailInteraction::menuTitles(12),
              (QStringList{"Open 12 Files", "Preview", "Show in Folder", "Copy 12 Images",
                           "Copy 12 Paths", "", "Move 12 to Trash"}));

    const QUuid a = shelf.addShot(QStringLiteral("apple.png"));
    const QUuid b = shelf.addShot(QStringLiteral("banana.png"));
    const QUuid c = shelf.addShot(QStringLiteral("cherry.png"));
    const QUuid d = shelf.addShot(QStringLiteral("date.png"));
    shelf.selection.setIds({a, b});
    // An item outside the selection is selected alone first.
    std::unique_ptr<QMenu> menu(view.interaction().contextMenu(c, &view));
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("Open"));
    EXPECT_EQ(shelf.selection.ids(), SelectionModel::IdSet{c});
    EXPECT_EQ(shelf.selection.anchor(), c);

    // Four selected, banana hidden by the search: the titles count four, the actions touch the
    // three shown, in shelf order.
    shelf.selection.setIds({a, b, c, d});
    shelf.selection.setAnchor(a);
    view.searchField()->setText(QStringLiteral("e"));
    ASSERT_EQ(view.filter().visibleIds(), (QList<QUuid>{d, c, a}));
    menu.reset(view.interaction().contextMenu(c, &view));
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("Open 4 Files"));
    trigger(*menu, QStringLiteral("Open 4 Files"));
    const QStringList shown{shelf.path(QStringLiteral("date.png")),
                            shelf.path(QStringLiteral("cherry.png")),
                            shelf.path(QStringLiteral("apple.png"))};
    EXPECT_EQ(shelf.fileManager.opened,
              (QList<QUrl>{QUrl::fromLocalFile(shown[0]), QUrl::fromLocalFile(shown[1]),
                           QUrl::fromLocalFile(shown[2])}));
    trigger(*menu, QStringLiteral("Copy 4 Paths"));
    EXPECT_EQ(shelf.clipboard.text, shown.join(QLatin1Char('\n')));

    // The trash takes off the shelf exactly the files that went: date is refused, so it stays
    // and the failure is shown; banana was never moved.
    shelf.trash.refused = {QUrl::fromLocalFile(shown[0])};
    trigger(*menu, QStringLiteral("Move 4 to Trash"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shelf.alerts.isEmpty(); }, 5000));
    EXPECT_EQ(shelf.store->count(), 2);
    EXPECT_GE(shelf.store->indexOf(b), 0);
    EXPECT_GE(shelf.store->indexOf(d), 0);
    EXPECT_EQ(shelf.selection.ids(), (SelectionModel::IdSet{b, d}));
    EXPECT_EQ(shelf.selection.anchor(), a);  // never pruned
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("2 selected"));
    EXPECT_TRUE(QFile::exists(shelf.path(QStringLiteral("banana.png"))));
    EXPECT_FALSE(QFile::exists(shown[2]));
}

}  // namespace
}  // namespace framlet
