#include "app/CaptureLantern.h"

#include "app/LanternIcon.h"
#include "platform/DebugLog.h"
#include "platform/TimerSource.h"
#include "preferences/Settings.h"

namespace framlet {

CaptureLantern::CaptureLantern(const Settings& settings, TimerSource& timers, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_fillAnimationTimer(timers.makeTimer())
    , m_unseenResetTimer(timers.makeTimer()) {
    connect(m_fillAnimationTimer.get(), &Timer::timedOut, this, &CaptureLantern::advanceFrame);
    connect(m_unseenResetTimer.get(), &Timer::timedOut, this, [this] { setHasUnseen(false); });
}

CaptureLantern::~CaptureLantern() = default;

bool CaptureLantern::isAnimating() const {
    return m_fillAnimationTimer->isActive();
}

bool CaptureLantern::isResetScheduled() const {
    return m_unseenResetTimer->isActive();
}

void CaptureLantern::setHasUnseen(bool hasUnseen) {
    const bool changed = hasUnseen != m_hasUnseen;
    m_hasUnseen = hasUnseen;
    updateStatusIcon();
    if (!hasUnseen) {
        m_unseenResetTimer->stop();
    }
    if (changed) {
        Q_EMIT hasUnseenChanged(hasUnseen);
    }
}

void CaptureLantern::updateStatusIcon() {
    if (!m_hasUnseen && isAnimating()) {
        m_fillAnimationTimer->stop();  // emptying the lantern cuts the animation short
    }
    if (isAnimating()) {
        return;  // the animation owns the icon until it ends
    }
    showFill(m_hasUnseen ? 1.0 : 0.0);
}

void CaptureLantern::animateCaptureFill() {
    m_fillAnimationTimer->stop();
    m_fillFrame = 0;
    if (m_reducedMotion) {
        DebugLog::log(
            QStringLiteral("capture fill shown at once: the desktop asks for no animation"));
        updateStatusIcon();
        return;
    }
    DebugLog::log(QStringLiteral("capture fill animation started"));
    m_fillAnimationTimer->start(frameInterval, true);
}

void CaptureLantern::advanceFrame() {
    ++m_fillFrame;
    showFill(LanternIcon::fillForFrame(m_fillFrame));
    if (m_fillFrame >= frameCount) {
        m_fillAnimationTimer->stop();
        updateStatusIcon();
        DebugLog::log(QStringLiteral("capture fill animation finished"));
    }
}

void CaptureLantern::scheduleUnseenReset() {
    m_unseenResetTimer->stop();
    const int seconds = m_settings.unseenResetSeconds();
    if (seconds <= 0) {
        return;  // lit until the shelf is opened
    }
    m_unseenResetTimer->start(std::chrono::seconds(seconds), false);
}

void CaptureLantern::showFill(double fill) {
    m_fill = fill;
    Q_EMIT fillChanged(fill);
}

}  // namespace framlet
