#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace framlet {

// A cancellable timer behind an interface, so that rules measured in seconds (how long the lantern
// stays lit, how long to wait for a file still being written) are tested by advancing a manual
// clock instead of waiting.
class Timer : public QObject {
    Q_OBJECT

public:
    ~Timer() override = default;
    // Restarts the timer; a repeating timer fires every interval until stopped.
    virtual void start(std::chrono::milliseconds interval, bool repeating) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

Q_SIGNALS:
    void timedOut();
};

class TimerSource {
public:
    virtual ~TimerSource() = default;
    virtual std::unique_ptr<Timer> makeTimer() = 0;

    // Runs action once, after delay, unless context is destroyed first. The timer belongs to the
    // context, so nothing outlives it. Call on the context's thread.
    void runAfter(std::chrono::milliseconds delay, QObject* context, std::function<void()> action);

    // QTimer-based, for the running program.
    static TimerSource& realTime();
};

}  // namespace framlet
