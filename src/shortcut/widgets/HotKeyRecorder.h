#pragma once

#include <QWidget>
#include <functional>

#include "preferences/HotKeyBinding.h"

namespace framlet {

// The field in which the user sets the global shortcut: a click starts recording, the next key
// pressed with at least one modifier is reported through recorded. The field keeps showing its
// binding until the owner passes the new one back, so it never shows a shortcut that was not
// stored. A second click, Escape or losing the focus cancels; a key without a modifier beeps.
//
// While recording it holds the keyboard, so combinations that are shortcuts elsewhere (in this
// window, the window manager or the global shortcut itself) come to the field instead.
class HotKeyRecorder : public QWidget {
    Q_OBJECT

public:
    // alertSound plays when a key is pressed without a modifier; QApplication::beep by default.
    explicit HotKeyRecorder(QWidget* parent = nullptr, std::function<void()> alertSound = {});

    HotKeyBinding binding() const { return m_binding; }
    void setBinding(HotKeyBinding binding);

    bool isRecording() const { return m_recording; }
    // What the field shows now.
    QString text() const;

Q_SIGNALS:
    // The user pressed a combination the field accepts; the field still shows the old binding.
    void recorded(framlet::HotKeyBinding binding);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setRecording(bool recording);
    void updateAccessibleName();
    void fitText();
    void record(const QKeyEvent& event);
    QFont textFont(bool recording) const;

    std::function<void()> m_alertSound;
    HotKeyBinding m_binding{19, 768};
    bool m_recording = false;
};

}  // namespace framlet
