#pragma once

#include <QPointer>
#include <deque>
#include <vector>

#include "library/DelayScheduler.h"

namespace framlet::test {

// Records every wait asked for and runs the waits only when the test says so.
class RecordingScheduler final : public DelayScheduler {
public:
    void schedule(std::chrono::milliseconds delay, QObject* context,
                  std::function<void()> action) override;

    const std::vector<std::chrono::milliseconds>& delays() const { return m_delays; }
    bool hasPending() const { return !m_pending.empty(); }
    // Ends the oldest wait: runs its action unless its context is gone.
    void runNext();

private:
    struct Wait {
        QPointer<QObject> context;
        std::function<void()> action;
    };
    std::vector<std::chrono::milliseconds> m_delays;
    std::deque<Wait> m_pending;
};

}  // namespace framlet::test
