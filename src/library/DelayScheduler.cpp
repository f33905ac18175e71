#include "library/DelayScheduler.h"

#include <QPointer>
#include <QTimer>

namespace framlet {
namespace {

class TimerScheduler final : public DelayScheduler {
public:
    void schedule(std::chrono::milliseconds delay, QObject* context,
                  std::function<void()> action) override {
        // A precise timer: the waits are short and few, and coarse timers may fire 5% early.
        QTimer::singleShot(delay, Qt::PreciseTimer, context, std::move(action));
    }
};

}  // namespace

DelayScheduler& DelayScheduler::realTime() {
    static TimerScheduler scheduler;
    return scheduler;
}

}  // namespace framlet
