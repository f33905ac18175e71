#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "platform/TimerSource.h"

namespace framlet::test {

// Timers on a clock the test moves by hand: advance() fires every timer that falls due, in order
// of due time, as often as a repeating one would have fired; fireNext() jumps to the next one due.
// Every wait asked for is recorded, so a test can check a sequence of waits without taking it.
class ManualTimers final : public TimerSource {
public:
    std::unique_ptr<Timer> makeTimer() override {
        auto timer = std::make_unique<ManualTimer>(*this);
        m_timers.push_back(timer.get());
        return timer;
    }

    std::chrono::milliseconds now() const { return m_now; }
    // The interval of every start so far, in order.
    const std::vector<std::chrono::milliseconds>& started() const { return m_started; }
    bool hasPending() const { return nextDueBy(std::chrono::milliseconds::max()) != nullptr; }

    // Moves the clock to the earliest timer due and fires it; false when none is running.
    bool fireNext() {
        ManualTimer* next = nextDueBy(std::chrono::milliseconds::max());
        if (next) {
            advance(next->due - m_now);
        }
        return next != nullptr;
    }

    void advance(std::chrono::milliseconds by) {
        const auto end = m_now + by;
        while (ManualTimer* next = nextDueBy(end)) {
            m_now = next->due;
            next->repeating ? void(next->due += next->interval) : void(next->active = false);
            Q_EMIT next->timedOut();
        }
        m_now = end;
    }

private:
    struct ManualTimer final : Timer {
        explicit ManualTimer(ManualTimers& owner) : owner(owner) {}
        ~ManualTimer() override { std::erase(owner.m_timers, this); }
        void start(std::chrono::milliseconds every, bool repeats) override {
            interval = every;
            repeating = repeats;
            due = owner.m_now + every;
            active = true;
            owner.m_started.push_back(every);
        }
        void stop() override { active = false; }
        bool isActive() const override { return active; }

        ManualTimers& owner;
        std::chrono::milliseconds interval{0};
        std::chrono::milliseconds due{0};
        bool repeating = false;
        bool active = false;
    };

    ManualTimer* nextDueBy(std::chrono::milliseconds end) const {
        ManualTimer* next = nullptr;
        for (ManualTimer* timer : m_timers) {
            if (timer->active && timer->due <= end && (!next || timer->due < next->due)) {
                next = timer;
            }
        }
        return next;
    }

    std::vector<ManualTimer*> m_timers;
    std::vector<std::chrono::milliseconds> m_started;
    std::chrono::milliseconds m_now{0};
};

}  // namespace framlet::test
