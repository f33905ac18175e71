#include "library/TimerSource.h"

#include <QTimer>

namespace framlet {
namespace {

class QtTimer final : public Timer {
public:
    QtTimer() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (onTimeout) {
                onTimeout();
            }
        });
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

}  // namespace

TimerSource& TimerSource::realTime() {
    static QtTimerSource source;
    return source;
}

}  // namespace framlet
