#include <gtest/gtest.h>

#include "shelf/PanelPlacement.h"

namespace framlet {
namespace {

using PanelPlacement::frame;

constexpr QSize kPanel{380, 420};
// A 1280 x 800 screen with a 24 px tray panel along its top edge.
const QRect kWorkArea{0, 24, 1280, 776};

TEST(PanelPlacement, MissingSizesFallBackToTheDefaultPerComponent) {
    EXPECT_EQ(PanelPlacement::panelSize(QSize()), QSize(380, 420));
    EXPECT_EQ(PanelPlacement::panelSize(QSize(0, 500)), QSize(380, 500));
    EXPECT_EQ(PanelPlacement::panelSize(QSize(300, -1)), QSize(300, 420));
    EXPECT_EQ(PanelPlacement::panelSize(QSize(300, 200)), QSize(300, 200));
}

TEST(PanelPlacement, OpensCentredUnderTheIconFourPixelsBelowIt) {
    // An icon whose bottom edge is inside the work area, as with a tray that reserves no strut.
    EXPECT_EQ(frame(kPanel, kWorkArea, QRect(600, 100, 24, 24)), QRect(422, 128, 380, 420));
    // An odd-sized icon: centred to the pixel, rounding down.
    EXPECT_EQ(frame(QSize(381, 420), kWorkArea, QRect(600, 100, 25, 24)),
              QRect(422, 128, 381, 420));
}

TEST(PanelPlacement, StaysEightPixelsInsideTheWorkArea) {
    // Icon in the tray strut near the right edge: pushed left and below the strut.
    EXPECT_EQ(frame(kPanel, kWorkArea, QRect(1250, 0, 24, 24)), QRect(892, 32, 380, 420));
    // Near the left edge: pushed right.
    EXPECT_EQ(frame(kPanel, kWorkArea, QRect(2, 0, 24, 24)), QRect(8, 32, 380, 420));
}

TEST(PanelPlacement, FollowsTheIconOntoASecondScreen) {
    // A second screen to the right, its tray panel 30 px high.
    const QRect second{1280, 30, 1920, 1050};
    EXPECT_EQ(frame(kPanel, second, QRect(2000, 3, 24, 24)), QRect(1822, 38, 380, 420));
    EXPECT_EQ(frame(kPanel, second, QRect(3180, 3, 24, 24)), QRect(2812, 38, 380, 420));
    // Unknown icon position: that screen's top right corner.
    EXPECT_EQ(frame(kPanel, second, std::nullopt), QRect(2812, 38, 380, 420));
}

TEST(PanelPlacement, OpensAboveATrayAtTheBottomOfTheScreen) {
    const QRect aboveBottomPanel{0, 0, 1280, 776};
    // Four pixels above an icon that sits inside the work area...
    EXPECT_EQ(frame(kPanel, aboveBottomPanel, QRect(600, 700, 24, 24)), QRect(422, 276, 380, 420));
    // ...and eight pixels above the work area's bottom edge for one in the bottom panel.
    EXPECT_EQ(frame(kPanel, aboveBottomPanel, QRect(1250, 778, 24, 24)), QRect(892, 348, 380, 420));
}

TEST(PanelPlacement, BeforeAnyClickOpensInTheCornerOfThePanelTheWorkAreaLeavesOut) {
    const QRect screen{0, 0, 1280, 800};
    const auto opened = [&](const QRect& workArea) {
        return frame(kPanel, workArea, PanelPlacement::panelCorner(screen, workArea));
    };
    EXPECT_EQ(opened(kWorkArea), QRect(892, 32, 380, 420));                // top panel
    EXPECT_EQ(opened(QRect(0, 0, 1280, 760)), QRect(892, 332, 380, 420));  // bottom panel
    EXPECT_EQ(opened(QRect(48, 0, 1232, 800)), QRect(56, 8, 380, 420));    // left panel
    EXPECT_EQ(opened(QRect(0, 0, 1232, 800)), QRect(844, 8, 380, 420));    // right panel
    EXPECT_EQ(opened(screen), QRect(892, 8, 380, 420));                    // no panel
}

TEST(PanelPlacement, APanelLargerThanTheWorkAreaKeepsItsTopRightCornerInside) {
    const QRect small{100, 24, 300, 300};
    const QRect placed = frame(kPanel, small, QRect(250, 0, 24, 24));
    EXPECT_EQ(placed.size(), kPanel);
    EXPECT_EQ(placed.top(), 32);
    EXPECT_EQ(placed.x() + placed.width(), 100 + 300 - 8);
}

}  // namespace
}  // namespace framlet
