#include "shortcut/widgets/HotKeyRecorder.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "platform/VirtualKeyMap.h"
#include "shortcut/KeyCodeFormatter.h"

namespace framlet {
namespace {

constexpr QSize kSize(130, 24);
constexpr qreal kCornerRadius = 5.0;
constexpr int kTextMargin = 8;
constexpr int kRecordingFillAlpha = 31;  // 12 %

// Pressed on their own they only start a combination; the key that completes it follows.
bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
        case Qt::Key_Mode_switch:
            return true;
        default:
            return false;
    }
}

}  // namespace

HotKeyRecorder::HotKeyRecorder(QWidget* parent, std::function<void()> alertSound)
    : QWidget(parent), m_alertSound(alertSound ? std::move(alertSound) : &QApplication::beep) {
    setFocusPolicy(Qt::StrongFocus);
    fitText();
    updateAccessibleName();
}

void HotKeyRecorder::setBinding(HotKeyBinding binding) {
    m_binding = binding;
    fitText();
    updateAccessibleName();
    update();
}

void HotKeyRecorder::fitText() {
    // Spelled-out modifiers can outgrow the field ("Super+Ctrl+Alt+Shift+K"), and so can the
    // desktop's larger text.
    const QFontMetrics metrics(textFont(false));
    const int needed = metrics.horizontalAdvance(text()) + 2 * kTextMargin;
    setFixedSize(std::max(kSize.width(), needed), std::max(kSize.height(), metrics.height() + 8));
}

void HotKeyRecorder::updateAccessibleName() {
    setAccessibleName(QStringLiteral("Shortcut: ") + text());
}

QFont HotKeyRecorder::textFont(bool recording) const {
    QFont font = this->font();
    font.setWeight(recording ? QFont::Normal : QFont::Medium);
    return font;
}

QString HotKeyRecorder::text() const {
    if (m_recording) {
        return QStringLiteral("Press a shortcut…");
    }
    return KeyCodeFormatter::text(m_binding);
}

// While recording every key press comes here first: before shortcuts (ShortcutOverride) and
// before Tab moves the focus.
bool HotKeyRecorder::event(QEvent* event) {
    if (m_recording &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            record(*static_cast<QKeyEvent*>(event));
        }
        return true;
    }
    return QWidget::event(event);
}

void HotKeyRecorder::mousePressEvent(QMouseEvent*) {
    setRecording(!m_recording);
}

void HotKeyRecorder::keyPressEvent(QKeyEvent* event) {
    // Space or Return records from the keyboard, as a click does; other keys belong to the window.
    const int key = event->key();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        setRecording(true);
        return;
    }
    QWidget::keyPressEvent(event);
}

void HotKeyRecorder::focusOutEvent(QFocusEvent* event) {
    setRecording(false);
    QWidget::focusOutEvent(event);
}

void HotKeyRecorder::hideEvent(QHideEvent* event) {
    setRecording(false);
    QWidget::hideEvent(event);
}

void HotKeyRecorder::setRecording(bool recording) {
    if (recording == m_recording) {
        return;
    }
    m_recording = recording;
    if (recording) {
        setFocus(Qt::MouseFocusReason);
        grabKeyboard();
    } else {
        releaseKeyboard();
    }
    updateAccessibleName();
    update();
}

void HotKeyRecorder::record(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Escape) {
        setRecording(false);
        return;
    }
    if (isModifierKey(event.key())) {
        return;
    }
    const std::uint32_t mask = KeyCodeFormatter::carbonModifiers(event.modifiers());
    const auto keyCode = VirtualKeyMap::virtualKeyCode(event);
    if (mask == 0 || !keyCode) {  // a shortcut needs a modifier, and a key that can be stored
        m_alertSound();
        return;
    }
    setRecording(false);
    Q_EMIT recorded({*keyCode, mask});
}

void HotKeyRecorder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QColor fill = accent;
    fill.setAlpha(kRecordingFillAlpha);

    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                           kCornerRadius);
    painter.fillPath(outline,
                     m_recording ? fill : palette().color(QPalette::Inactive, QPalette::Button));
    painter.strokePath(outline,
                       m_recording ? QPen(accent, 2.0) : QPen(palette().color(QPalette::Mid), 1.0));

    painter.setFont(textFont(m_recording));
    painter.setPen(palette().color(m_recording ? QPalette::PlaceholderText : QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace framlet
