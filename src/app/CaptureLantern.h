#pragma once

#include <QObject>
#include <chrono>
#include <memory>

namespace framlet {

class Settings;
class Timer;
class TimerSource;

// The state of the tray lantern: lit while a capture is unseen, a short fill animation for each
// live capture, and a timer that empties it after the configured time. It publishes the fill level
// the icon should show; drawing it is the tray item's job.
class CaptureLantern : public QObject {
    Q_OBJECT

public:
    static constexpr int frameCount = 16;
    static constexpr std::chrono::milliseconds frameInterval{33};  // 30 frames a second

    CaptureLantern(const Settings& settings, TimerSource& timers, QObject* parent = nullptr);
    ~CaptureLantern() override;

    bool hasUnseen() const { return m_hasUnseen; }
    // Runs the change action on every assignment, also of an unchanged value.
    void setHasUnseen(bool hasUnseen);

    // Without motion each capture fills the lantern at once, frame-free.
    void setReducedMotion(bool reduced) { m_reducedMotion = reduced; }
    void animateCaptureFill();
    void scheduleUnseenReset();

    double fill() const { return m_fill; }
    bool isAnimating() const;
    bool isResetScheduled() const;

Q_SIGNALS:
    void fillChanged(double fill);
    void hasUnseenChanged(bool hasUnseen);

private:
    void updateStatusIcon();
    void showFill(double fill);
    void advanceFrame();

    const Settings& m_settings;
    std::unique_ptr<Timer> m_fillAnimationTimer;
    std::unique_ptr<Timer> m_unseenResetTimer;
    bool m_hasUnseen = false;
    bool m_reducedMotion = false;
    int m_fillFrame = 0;
    double m_fill = 0.0;
};

}  // namespace framlet
