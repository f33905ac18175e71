#pragma once

#include <QObject>
#include <array>
#include <chrono>
#include <functional>

namespace framlet {

// Runs an action after a delay, on the thread of a context object, unless the context is gone by
// then. The real scheduler uses timers; tests inject one that runs at once or on demand, so the
// retry sequences below never make a test wait for seconds.
class DelayScheduler {
public:
    virtual ~DelayScheduler() = default;
    virtual void schedule(std::chrono::milliseconds delay, QObject* context,
                          std::function<void()> action) = 0;

    // Timer-based, for the running program.
    static DelayScheduler& realTime();
};

// The patience given to a file that exists but cannot be decoded yet (a screenshot tool often
// creates the file first and fills it afterwards): waits of 0.25, 0.75, 2 and 5 seconds, with an
// existence check after each, so at most five attempts over about eight seconds.
inline constexpr std::array<std::chrono::milliseconds, 4> kRetryDelays{
    std::chrono::milliseconds(250), std::chrono::milliseconds(750), std::chrono::milliseconds(2000),
    std::chrono::milliseconds(5000)};

}  // namespace framlet
