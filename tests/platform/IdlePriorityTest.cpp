#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <thread>

#include "platform/IdlePriority.h"

namespace framlet {
namespace {

// The worker's priorities as the kernel reports them, and none of it leaks to other threads.
TEST(IdlePriorityTest, LowersTheCallingThreadAloneToIdleProcessorAndDisk) {
    int policy = -1;
    int ioClass = -1;
    bool lowered = false;
    std::thread worker([&] {
        lowered = IdlePriority::lowerThisThread();
        policy = ::sched_getscheduler(0);
        const long priority = ::syscall(SYS_ioprio_get, 1, int(::gettid()));
        ioClass = priority < 0 ? -1 : int(priority >> 13);
    });
    worker.join();
    EXPECT_TRUE(lowered);
    EXPECT_EQ(policy, SCHED_IDLE);
    EXPECT_EQ(ioClass, 3);
    EXPECT_NE(::sched_getscheduler(0), SCHED_IDLE);
}

}  // namespace
}  // namespace framlet
