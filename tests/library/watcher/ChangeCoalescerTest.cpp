#include <gtest/gtest.h>

#include <QSignalSpy>
#include <functional>
#include <vector>

#include "library/ChangeCoalescer.h"

using namespace framlet;

namespace {

// Holds scheduled actions until the test runs them, so windows end exactly when told.
class ManualScheduler final : public DelayScheduler {
public:
    void schedule(std::chrono::milliseconds delay, QObject*,
                  std::function<void()> action) override {
        delays.push_back(delay);
        actions.push_back(std::move(action));
    }
    void runNext() {
        auto action = std::move(actions.front());
        actions.erase(actions.begin());
        action();
    }
    std::vector<std::chrono::milliseconds> delays;
    std::vector<std::function<void()>> actions;
};

TEST(ChangeCoalescer, FirstNoticeFiresAtOnceAndABurstCostsOneMoreAtTheWindowEnd) {
    ManualScheduler scheduler;
    ChangeCoalescer coalescer(std::chrono::milliseconds(300), scheduler);
    QSignalSpy fired(&coalescer, &ChangeCoalescer::fired);

    coalescer.notice();
    EXPECT_EQ(fired.count(), 1);
    ASSERT_EQ(scheduler.actions.size(), 1u);
    EXPECT_EQ(scheduler.delays[0], std::chrono::milliseconds(300));

    for (int i = 0; i < 50; ++i) {
        coalescer.notice();
    }
    EXPECT_EQ(fired.count(), 1);
    scheduler.runNext();
    EXPECT_EQ(fired.count(), 2);

    // The firing opened a new window: a notice inside it waits for that window's end.
    coalescer.notice();
    EXPECT_EQ(fired.count(), 2);
    scheduler.runNext();
    EXPECT_EQ(fired.count(), 3);

    // A quiet window closes without firing; the next notice fires at once again.
    scheduler.runNext();
    EXPECT_EQ(fired.count(), 3);
    EXPECT_TRUE(scheduler.actions.empty());
    coalescer.notice();
    EXPECT_EQ(fired.count(), 4);
}

TEST(ChangeCoalescer, ResetDropsThePendingFiring) {
    ManualScheduler scheduler;
    ChangeCoalescer coalescer(std::chrono::milliseconds(300), scheduler);
    QSignalSpy fired(&coalescer, &ChangeCoalescer::fired);
    coalescer.notice();
    coalescer.notice();
    coalescer.reset();
    scheduler.runNext();  // the window of before the reset ends
    EXPECT_EQ(fired.count(), 1);
    coalescer.notice();
    EXPECT_EQ(fired.count(), 2);
}

TEST(ChangeCoalescer, AWindowFromBeforeAResetDoesNotEndTheOneAfterIt) {
    ManualScheduler scheduler;
    ChangeCoalescer coalescer(std::chrono::milliseconds(300), scheduler);
    QSignalSpy fired(&coalescer, &ChangeCoalescer::fired);
    coalescer.notice();
    coalescer.reset();
    coalescer.notice();  // fires at once and opens a window of its own
    coalescer.notice();  // merged into that window
    EXPECT_EQ(fired.count(), 2);

    scheduler.runNext();  // the old window ends: the new one stays open
    EXPECT_EQ(fired.count(), 2);
    coalescer.notice();
    EXPECT_EQ(fired.count(), 2);
    scheduler.runNext();
    EXPECT_EQ(fired.count(), 3);
}

}  // namespace
