#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "ActionsSupport.h"
#include "library/decoding/DecodeBudget.h"
#include "platform/ColorScheme.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"
#include "settings/ThemePalette.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/PreviewImageView.h"
#include "shelf/PreviewPanel.h"

namespace framlet::test {

// Counts the key presses that reach a widget.
class KeyPresses : public QObject {
public:
    explicit KeyPresses(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::KeyPress;
        return false;
    }
};

class ImagePreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= 5; ++i) {
            const QString name = QStringLiteral("%1.png").arg(i);
            urls.append(folder.addImage(name));
            ids.append(QUuid::createUuid());
        }
    }

    // A key pressed while the window is the active one, through the window system's path.
    static void press(QWidget* window, Qt::Key key) {
        QTest::keyClick(window->windowHandle(), key);
    }

    QString title() const { return preview.panel()->windowTitle(); }

    ImageFolder folder;
    QList<QUrl> urls;
    QList<QUuid> ids;
    QTemporaryDir config;
    UserDefaults defaults{config.filePath(QStringLiteral("defaults.json"))};
    Settings settings{defaults};
    ColorScheme colorScheme;
    ThemePalette theme{settings, colorScheme};
    DecodeBudget budget{DecodeBudget::processCapacity};
    ImagePreviewController preview{theme, budget};
};

TEST_F(ImagePreviewTest, ArrowsStepWithWrapAndTheCounterAndSelectionFollow) {
    QList<QUuid> stepped;
    const LogTail log;
    QObject::connect(&preview, &ImagePreviewController::stepped,
                     [&](const QUuid& id) { stepped.append(id); });
    preview.show(urls, ids, 2);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.panel()));
    EXPECT_EQ(title(), QStringLiteral("3.png  (3 of 5)"));

    press(preview.panel(), Qt::Key_Right);
    press(preview.panel(), Qt::Key_Down);
    EXPECT_EQ(title(), QStringLiteral("5.png  (5 of 5)"));
    press(preview.panel(), Qt::Key_Right);
    EXPECT_EQ(title(), QStringLiteral("1.png  (1 of 5)"));
    press(preview.panel(), Qt::Key_Left);
    press(preview.panel(), Qt::Key_Up);
    EXPECT_EQ(title(), QStringLiteral("4.png  (4 of 5)"));
    EXPECT_EQ(stepped, (QList<QUuid>{ids[3], ids[4], ids[0], ids[4], ids[3]}));

    EXPECT_EQ(log.count(QStringLiteral("preview shown: index=2 count=5 visible=true")), 1);
    EXPECT_EQ(log.count(QStringLiteral("preview key code=124 handled=true")), 2);
    EXPECT_EQ(log.count(QStringLiteral("preview key code=125 handled=true")), 1);
    EXPECT_EQ(log.count(QStringLiteral("preview key code=126 handled=true")), 1);
    EXPECT_EQ(log.count(QStringLiteral("stepped: index=3 count=5 visible=true")), 2);
    EXPECT_TRUE(log.lines()
                    .filter(QStringLiteral("stepped: "))
                    .last()
                    .endsWith(QStringLiteral("level=102 title='4.png  (4 of 5)'")));
}

TEST_F(ImagePreviewTest, SpaceAndEscapeCloseItAndAreNotPassedOn) {
    for (const auto& [key, code] : {std::pair{Qt::Key_Space, 49}, {Qt::Key_Escape, 53}}) {
        SCOPED_TRACE(code);
        preview.toggle(urls, ids, 0);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.panel()));
        KeyPresses passedOn(preview.panel());
        const LogTail log;
        press(preview.panel(), key);
        EXPECT_FALSE(preview.isVisible());
        EXPECT_EQ(log.count(QStringLiteral("preview key code=%1 handled=true").arg(code)), 1);
        EXPECT_TRUE(preview.panel()->imageView()->currentImage().isNull());
        EXPECT_EQ(passedOn.count, 0);
    }
}

TEST_F(ImagePreviewTest, KeysInATextFieldOrAnOpenMenuAreTheirsAndOtherwiseThePreviews) {
    // A window like the shelf: a search field, and a grid, which takes the focus after a click
    // on its empty space or a drag.
    QWidget shelf;
    auto* search = new QLineEdit(&shelf);
    auto* grid = new QListView(&shelf);
    grid->move(0, 40);
    shelf.show();
    preview.show(urls, ids, 1);
    // The window manager activates the preview once it maps it: only then may another window
    // take the keyboard for good.
    ASSERT_TRUE(QTest::qWaitForWindowActive(preview.panel()));
    shelf.activateWindow();
    search->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shelf));
    const LogTail log;

    press(&shelf, Qt::Key_Space);
    press(&shelf, Qt::Key_Left);
    press(&shelf, Qt::Key_Escape);

    EXPECT_EQ(search->text(), QStringLiteral(" "));
    EXPECT_EQ(search->cursorPosition(), 0);
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.index(), 1);
    EXPECT_EQ(log.count(QStringLiteral("handled=false")), 3);

    // Without a text field in the focus the keys are the preview's again; a list is none.
    search->clearFocus();
    press(&shelf, Qt::Key_Right);
    EXPECT_EQ(preview.index(), 2);
    grid->setFocus();
    press(&shelf, Qt::Key_Right);
    EXPECT_EQ(preview.index(), 3);

    // A thumbnail's context menu: its arrows and Escape are the menu's, not the preview's.
    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    QAction* second = menu.addAction(QStringLiteral("Copy"));
    menu.popup(grid->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.setActiveAction(menu.actions().first());
    press(&menu, Qt::Key_Down);
    EXPECT_EQ(menu.activeAction(), second);
    EXPECT_EQ(preview.index(), 3);
    press(&menu, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu.isVisible(); }));
    EXPECT_TRUE(preview.isVisible());

    press(&shelf, Qt::Key_Escape);
    EXPECT_FALSE(preview.isVisible());
}

TEST_F(ImagePreviewTest, AnOpenPreviewFollowsTheTheme) {
    settings.setTheme(Settings::Theme::light);
    preview.show(urls, ids, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.panel()));
    const QColor light = ThemePalette::light().color(QPalette::Window);
    EXPECT_EQ(preview.panel()->palette().color(QPalette::Window), light);
    settings.setTheme(Settings::Theme::dark);
    EXPECT_EQ(preview.panel()->palette().color(QPalette::Window),
              ThemePalette::dark().color(QPalette::Window));
    EXPECT_NE(ThemePalette::dark().color(QPalette::Window), light);
}

TEST_F(ImagePreviewTest, OneItemHasNoCounterAndDoesNotStepTheStartIsClampedAndNothingIsIgnored) {
    preview.show({}, {}, 0);
    EXPECT_EQ(preview.panel(), nullptr);

    bool stepped = false;
    const LogTail log;
    QObject::connect(&preview, &ImagePreviewController::stepped, [&] { stepped = true; });
    preview.show({urls[0]}, {ids[0]}, 0);
    preview.step(1);
    EXPECT_EQ(title(), QStringLiteral("1.png"));
    EXPECT_FALSE(stepped);
    EXPECT_EQ(log.count(QStringLiteral("step ignored: only 1 item(s)")), 1);

    preview.show(urls, ids, 9);
    EXPECT_EQ(preview.index(), 4);
    preview.show(urls, ids, -3);
    EXPECT_EQ(preview.index(), 0);
}

TEST_F(ImagePreviewTest, ImagesDecodeOffTheMainThreadOnlyTheLatestShownAndOnlyScaledDown) {
    const QUrl large = folder.addImage(QStringLiteral("large.png"), {6000, 4000});
    const QUrl small = folder.addImage(QStringLiteral("small.png"), {100, 50});
    const QUrl wide = folder.addImage(QStringLiteral("wide.png"), {3000, 1000});
    preview.show({large, small, wide}, {ids[0], ids[1], ids[2]}, 0);
    PreviewPanel* panel = preview.panel();
    const PreviewImageView* view = panel->imageView();
    // Returned before the decode: the window answers while the image is on its way.
    EXPECT_TRUE(view->isLoading());
    EXPECT_TRUE(view->currentImage().isNull());

    preview.step(1);  // before the large one arrived: it is never shown
    bool largeShown = false;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        largeShown = largeShown || view->currentImage().width() == 6000;
        return view->currentImage().size() == QSize(100, 50);
    }));
    // One decode at a time, in order: no result for the large one can come after this.
    EXPECT_FALSE(largeShown);
    // A small image is not scaled up, and the panel is centred on the screen.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    EXPECT_EQ(view->imageRect().size(), QSize(100, 50));
    EXPECT_EQ(view->imageRect().center(), view->rect().center());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LT(panel->width(), screen.width());
    EXPECT_LE((panel->geometry().center() - screen.center()).manhattanLength(), 2);

    preview.step(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isLoading(); }));
    const QRect shrunk = view->imageRect();
    EXPECT_EQ(shrunk.width(), view->width());
    EXPECT_NEAR(shrunk.height(), view->width() / 3, 1);
    EXPECT_TRUE(view->rect().contains(shrunk));
}

TEST_F(ImagePreviewTest, TheCloseButtonOnlyHidesThePanelWhichComesBackInPlace) {
    QObject::connect(&preview, &ImagePreviewController::stepped,
                     [] { FAIL() << "no step after closing"; });
    preview.show(urls, ids, 0);
    PreviewPanel* panel = preview.panel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    panel->setGeometry(panel->geometry().adjusted(10, 10, -40, -40));
    const QSize size = panel->size();

    EXPECT_FALSE(panel->close());
    EXPECT_FALSE(preview.isVisible());

    preview.toggle(urls, ids, 0);
    EXPECT_EQ(preview.panel(), panel);
    EXPECT_EQ(panel->size(), size);
}

TEST_F(ImagePreviewTest, UnreadableFilesShowNothingAndAnimationsRun) {
    const QUrl broken = folder.addBroken(QStringLiteral("broken.png"));
    const QUrl animation = folder.addAnimation(QStringLiteral("moving.gif"));
    preview.show({broken, animation}, {ids[0], ids[1]}, 0);
    const PreviewImageView* view = preview.panel()->imageView();
    EXPECT_EQ(title(), QStringLiteral("broken.png  (1 of 2)"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isLoading(); }));
    EXPECT_TRUE(view->currentImage().isNull());

    preview.step(1);
    auto shows = [&](QColor color) {
        return QTest::qWaitFor([&] {
            const QImage frame = view->currentImage();
            return !frame.isNull() && frame.pixelColor(0, 0) == color;
        });
    };
    EXPECT_TRUE(shows(Qt::black));
    EXPECT_TRUE(shows(Qt::white));
}

}  // namespace framlet::test
