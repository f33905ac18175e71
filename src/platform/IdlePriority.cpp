#include "platform/IdlePriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace framlet {
namespace {

// From linux/ioprio.h, which glibc does not wrap.
constexpr int kWhoProcess = 1;  // IOPRIO_WHO_PROCESS: with a thread id, that thread alone
constexpr int kClassIdle = 3;   // IOPRIO_CLASS_IDLE
constexpr int kClassShift = 13;

}  // namespace

bool IdlePriority::lowerThisThread() {
    const sched_param none{};
    const bool cpu = ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &none) == 0;
    const bool io =
        ::syscall(SYS_ioprio_set, kWhoProcess, int(::gettid()), kClassIdle << kClassShift) == 0;
    return cpu && io;
}

}  // namespace framlet
