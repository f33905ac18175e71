#include "onboarding/FolderOptionRow.h"

#include <QPainter>
#include <QPainterPath>

namespace framlet {
namespace {

constexpr int kPadding = 10;
constexpr int kRadio = 15;

}  // namespace

FolderOptionRow::FolderOptionRow(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void FolderOptionRow::setTexts(const QString& title, const QString& subtitle) {
    m_title = title;
    m_subtitle = subtitle;
    setAccessibleName(title);
    setAccessibleDescription(subtitle);
    update();
}

void FolderOptionRow::setSelected(bool selected) {
    m_selected = selected;
    update();
}

QFont FolderOptionRow::subtitleFont() const {
    QFont small = font();
    small.setPointSizeF(font().pointSizeF() * 0.85);
    return small;
}

QSize FolderOptionRow::sizeHint() const {
    const int text = fontMetrics().height() + QFontMetrics(subtitleFont()).height() + 2;
    return {200, std::max(text, kRadio) + 2 * kPadding};
}

void FolderOptionRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QColor fill = m_selected ? accent : palette().color(QPalette::WindowText);
    fill.setAlphaF(m_selected ? 0.1f : 0.04f);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(shape, fill);
    if (m_selected) {
        QColor border = accent;
        border.setAlphaF(0.55f);
        painter.setPen(QPen(border, 1));
        painter.drawPath(shape);
    }

    const QRectF radio(kPadding, (height() - kRadio) / 2.0, kRadio, kRadio);
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    painter.setPen(QPen(m_selected ? accent : secondary, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(radio.adjusted(0.75, 0.75, -0.75, -0.75));
    if (m_selected) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawEllipse(radio.center(), kRadio / 4.0, kRadio / 4.0);
    }

    const int left = kPadding + kRadio + 10;
    const int textWidth = width() - left - kPadding;
    QFont titleFont = font();
    titleFont.setWeight(QFont::Medium);
    const int top = (height() - sizeHint().height()) / 2 + kPadding;
    painter.setFont(titleFont);
    painter.setPen(palette().color(QPalette::WindowText));
    const int titleHeight = QFontMetrics(titleFont).height();
    painter.drawText(QRect(left, top, textWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     m_title);
    const QFont small = subtitleFont();
    painter.setFont(small);
    painter.setPen(secondary);
    const QString shown = QFontMetrics(small).elidedText(m_subtitle, Qt::ElideMiddle, textWidth);
    painter.drawText(QRect(left, top + titleHeight + 2, textWidth, QFontMetrics(small).height()),
                     Qt::AlignLeft | Qt::AlignVCenter, shown);
}

}  // namespace framlet
