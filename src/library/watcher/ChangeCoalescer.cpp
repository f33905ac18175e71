#include "library/watcher/ChangeCoalescer.h"

namespace framlet {

ChangeCoalescer::ChangeCoalescer(std::chrono::milliseconds latency, TimerSource& timers,
                                 QObject* parent)
    : QObject(parent), m_latency(latency), m_timers(timers) {
}

void ChangeCoalescer::notice() {
    if (m_windowOpen) {
        m_pending = true;
        return;
    }
    openWindow();
    Q_EMIT fired();
}

void ChangeCoalescer::reset() {
    ++m_window;
    m_windowOpen = false;
    m_pending = false;
}

void ChangeCoalescer::openWindow() {
    m_windowOpen = true;
    m_pending = false;
    const quint64 window = ++m_window;
    m_timers.runAfter(m_latency, this, [this, window] { windowEnded(window); });
}

void ChangeCoalescer::windowEnded(quint64 window) {
    if (window != m_window) {
        return;
    }
    m_windowOpen = false;
    if (m_pending) {
        openWindow();
        Q_EMIT fired();
    }
}

}  // namespace framlet
