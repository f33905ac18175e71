#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "CaptureFiles.h"
#include "DesktopInput.h"
#include "app/StatusItem.h"
#include "library/decoding/DecodeBudget.h"
#include "platform/widgets/SystemTray.h"

using namespace framlet;

namespace {

// These run under scripts/x-session with trayer, an XEmbed tray host; the click and the drag run
// again in the xfce panel's tray.
using test::at;
using test::DropTarget;

class StatusItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SystemTray::detect(), SystemTray::Kind::xembed);
        item = std::make_unique<StatusItem>(SystemTray::Kind::xembed, budget,
                                            [this]() -> std::optional<QUrl> {
                                                ++provided;
                                                return file;
                                            });
        QObject::connect(item.get(), &StatusItem::clicked, [this] { ++clicks; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return item->iconGeometry().has_value(); }, 5000));
    }
    QPoint centre() const { return item->iconGeometry()->center(); }

    DecodeBudget budget{DecodeBudget::processCapacity};
    std::unique_ptr<StatusItem> item;
    std::optional<QUrl> file;
    int clicks = 0;
    int provided = 0;
};

TEST_F(StatusItemTest, AClickWithSmallJitterClicksAndADragOfNothingDoesNothing) {
    test::xdotoolDetached(
        QStringLiteral("mousemove %1 mousedown 1 mousemove_relative 2 1 mouseup 1")
            .arg(at(centre())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, 5000));

    // No file on the shelf: moving further than 3 pixels starts no drag and is no click.
    test::xdotoolDetached(
        QStringLiteral("mousemove %1 mousedown 1 mousemove_relative 0 12 sleep 0.1 "
                       "mouseup 1")
            .arg(at(centre())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return provided == 1; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(clicks, 1);
}

TEST_F(StatusItemTest, DraggingOutOfTheTrayDeliversTheNewestFileAsACopy) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Screenshot 1.png");
    ASSERT_TRUE(test::writeCapture(path));
    file = QUrl::fromLocalFile(path);

    DropTarget target;
    target.move(200, 300);
    target.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&target));
    const QPoint drop = target.mapToGlobal(target.rect().center());

    test::xdotoolDetached(
        QStringLiteral("mousemove %1 mousedown 1 sleep 0.1 mousemove_relative 0 10 "
                       "sleep 0.2 mousemove %2 sleep 0.2 mousemove_relative 5 5 sleep 0.2 "
                       "mouseup 1")
            .arg(at(centre()), at(drop)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.dropped.isEmpty(); }, 10000));
    EXPECT_EQ(target.dropped, QList<QUrl>{*file});
    EXPECT_EQ(target.offered, Qt::CopyAction);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(QFile::exists(path));  // a copy: the file stays where it is
}

}  // namespace
