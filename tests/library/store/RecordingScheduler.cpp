#include "RecordingScheduler.h"

namespace framlet::test {

void RecordingScheduler::schedule(std::chrono::milliseconds delay, QObject* context,
                                  std::function<void()> action) {
    m_delays.push_back(delay);
    m_pending.push_back(Wait{QPointer<QObject>(context), std::move(action)});
}

void RecordingScheduler::runNext() {
    if (m_pending.empty()) {
        return;
    }
    Wait wait = std::move(m_pending.front());
    m_pending.pop_front();
    if (wait.context) {
        wait.action();
    }
}

}  // namespace framlet::test
