#pragma once

#include <QObject>
#include <chrono>

#include "platform/TimerSource.h"

namespace framlet {

// Turns a stream of change notices into few actions: the first notice after a quiet spell fires
// at once, and every further notice within the latency is merged into one firing at the end of
// the window, which opens the next window. A burst therefore costs one immediate action and at
// most one more per latency period, and no notice is left without a firing after it.
class ChangeCoalescer : public QObject {
    Q_OBJECT

public:
    ChangeCoalescer(std::chrono::milliseconds latency, TimerSource& timers,
                    QObject* parent = nullptr);

    void notice();
    // Forgets a pending firing; the next notice fires at once.
    void reset();

Q_SIGNALS:
    void fired();

private:
    void openWindow();
    void windowEnded(quint64 window);

    std::chrono::milliseconds m_latency;
    TimerSource& m_timers;
    quint64 m_window = 0;  // identifies the open window; ended windows are ignored
    bool m_windowOpen = false;
    bool m_pending = false;
};

}  // namespace framlet
