#include "platform/TimerSource.h"

#include <QTimer>

namespace framlet {
namespace {

class QtTimer final : public Timer {
public:
    QtTimer() {
        // Precise: the waits are short and few, and coarse timers may fire 5% early.
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &Timer::timedOut);
    }
    void start(std::chrono::milliseconds interval, bool repeating) override {
        m_timer.setSingleShot(!repeating);
        m_timer.start(interval);
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

class QtTimerSource final : public TimerSource {
public:
    std::unique_ptr<Timer> makeTimer() override { return std::make_unique<QtTimer>(); }
};

// One pending action, a child of its context: destroying the context destroys the timer.
class DelayedAction final : public QObject {
public:
    DelayedAction(std::unique_ptr<Timer> timer, QObject* context, std::function<void()> action)
        : QObject(context), m_timer(std::move(timer)), m_action(std::move(action)) {
        connect(m_timer.get(), &Timer::timedOut, this, [this] {
            m_timer->stop();
            deleteLater();  // not now: the timer is still delivering this call
            if (m_action) {
                std::exchange(m_action, nullptr)();
            }
        });
    }
    void start(std::chrono::milliseconds delay) { m_timer->start(delay, false); }

private:
    std::unique_ptr<Timer> m_timer;
    std::function<void()> m_action;
};

}  // namespace

void TimerSource::runAfter(std::chrono::milliseconds delay, QObject* context,
                           std::function<void()> action) {
    if (!context) {
        return;
    }
    auto* pending = new DelayedAction(makeTimer(), context, std::move(action));
    pending->start(delay);
}

TimerSource& TimerSource::realTime() {
    static QtTimerSource source;
    return source;
}

}  // namespace framlet
