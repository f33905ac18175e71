#pragma once

#include <QAbstractNativeEventFilter>
#include <QMetaObject>
#include <QObject>
#include <cstdint>

namespace framlet {

// Tells when the user presses a mouse button in another application, the cue for a floating
// window to close as a menu does.
//
// On X11 it watches XInput 2 raw button presses on the root window: they arrive whatever window is
// under the pointer and whoever grabs it. A press counts as outside when none of the program's
// visible windows is under the pointer; presses in the program's own windows, the tray icon
// included, do not count. Without XInput 2, off X11, or in a Wayland session (where XWayland hears
// only the presses in X11 windows), the application losing activation stands in for the press:
// counted once it has stayed inactive for a short settle, so that activation passing between the
// program's own windows counts for nothing.
class OutsideClickMonitor : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    enum class Method { rawButtonPresses, activationLoss };
    static constexpr int activationSettleMs = 250;

    // With activationLoss the fallback is used even where XInput 2 is available.
    explicit OutsideClickMonitor(Method preferred = Method::rawButtonPresses,
                                 QObject* parent = nullptr);
    ~OutsideClickMonitor() override;

    void start();
    void stop();
    bool isActive() const { return m_active; }
    // How presses are seen while active.
    Method method() const { return m_method; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // Emitted from the event loop, never while a native event is being dispatched, so receivers
    // may hide windows and stop the monitor.
    void clickedOutside();

private:
    bool selectRawPresses(bool on);
    void reportLater();
    void reportIfStillInactive();

    Method m_preferred;
    Method m_method = Method::activationLoss;
    bool m_active = false;
    uint8_t m_xinputOpcode = 0;
    QMetaObject::Connection m_stateConnection;
};

}  // namespace framlet
