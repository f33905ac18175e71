#include <gtest/gtest.h>

#include <QSignalSpy>
#include <functional>
#include <vector>

#include "ManualTimers.h"
#include "library/watcher/ChangeCoalescer.h"

using namespace framlet;

namespace {

// A window of 300 ms on a manual clock, and its firings.
class ChangeCoalescerTest : public ::testing::Test {
protected:
    test::ManualTimers timers;
    ChangeCoalescer coalescer{std::chrono::milliseconds(300), timers};
    QSignalSpy fired{&coalescer, &ChangeCoalescer::fired};
};

TEST_F(ChangeCoalescerTest, FirstNoticeFiresAtOnceAndABurstCostsOneMoreAtTheWindowEnd) {
    coalescer.notice();
    EXPECT_EQ(fired.count(), 1);
    ASSERT_EQ(timers.started().size(), 1u);
    EXPECT_EQ(timers.started()[0], std::chrono::milliseconds(300));

    for (int i = 0; i < 50; ++i) {
        coalescer.notice();
    }
    EXPECT_EQ(fired.count(), 1);
    timers.fireNext();
    EXPECT_EQ(fired.count(), 2);

    // The firing opened a new window: a notice inside it waits for that window's end.
    coalescer.notice();
    EXPECT_EQ(fired.count(), 2);
    timers.fireNext();
    EXPECT_EQ(fired.count(), 3);

    // A quiet window closes without firing; the next notice fires at once again.
    timers.fireNext();
    EXPECT_EQ(fired.count(), 3);
    EXPECT_FALSE(timers.hasPending());
    coalescer.notice();
    EXPECT_EQ(fired.count(), 4);
}

TEST_F(ChangeCoalescerTest, ResetDropsThePendingFiring) {
    coalescer.notice();
    coalescer.notice();
    coalescer.reset();
    timers.fireNext();  // the window of before the reset ends
    EXPECT_EQ(fired.count(), 1);
    coalescer.notice();
    EXPECT_EQ(fired.count(), 2);
}

TEST_F(ChangeCoalescerTest, AWindowFromBeforeAResetDoesNotEndTheOneAfterIt) {
    coalescer.notice();
    coalescer.reset();
    timers.advance(std::chrono::milliseconds(100));
    coalescer.notice();  // fires at once and opens a window of its own
    coalescer.notice();  // merged into that window
    EXPECT_EQ(fired.count(), 2);

    timers.fireNext();  // the old window ends: the new one stays open
    EXPECT_EQ(fired.count(), 2);
    coalescer.notice();
    EXPECT_EQ(fired.count(), 2);
    timers.fireNext();
    EXPECT_EQ(fired.count(), 3);
}

}  // namespace
