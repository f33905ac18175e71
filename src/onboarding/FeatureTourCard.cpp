#include "onboarding/FeatureTourCard.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "shelf/SymbolView.h"

namespace framlet {
namespace {

constexpr int kBadge = 34;

QFont scaled(const QFont& base, qreal scale, QFont::Weight weight = QFont::Normal) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * scale);
    font.setWeight(weight);
    return font;
}

// The step's symbol, white on a rounded accent square.
class Badge : public QWidget {
public:
    Badge() { setFixedSize(kBadge, kBadge); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath square;
        square.addRoundedRect(QRectF(rect()), 9, 9);
        painter.fillPath(square, palette().color(QPalette::Highlight));
    }
};

}  // namespace

FeatureTourCard::FeatureTourCard(QWidget* parent)
    : QFrame(parent)
    , m_badge(new Badge)
    , m_title(new QLabel)
    , m_body(new QLabel)
    , m_counter(new QLabel)
    , m_skip(new QPushButton(QStringLiteral("Skip")))
    , m_next(new QPushButton) {
    setObjectName(QStringLiteral("tourCard"));
    setFixedWidth(width);  // fits the shelf; larger text makes it taller
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    header->addWidget(m_badge);
    m_title->setFont(scaled(font(), 1.05, QFont::DemiBold));
    m_title->setWordWrap(true);
    header->addWidget(m_title, 1);
    column->addLayout(header);

    m_body->setWordWrap(true);
    m_body->setFont(scaled(font(), 0.95));
    m_body->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(m_body);

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 2, 0, 0);
    m_counter->setObjectName(QStringLiteral("tourCounter"));
    m_counter->setFont(scaled(font(), 0.8));
    m_counter->setForegroundRole(QPalette::PlaceholderText);
    footer->addWidget(m_counter);
    footer->addStretch(1);
    m_skip->setFlat(true);
    m_skip->setFont(scaled(font(), 0.8));
    // Return presses Next wherever the focus is; Tab reaches both.
    m_skip->setFocusPolicy(Qt::TabFocus);
    m_skip->setAccessibleName(QStringLiteral("Skip the tour"));
    m_next->setDefault(true);
    m_next->setFocusPolicy(Qt::TabFocus);
    footer->addWidget(m_skip);
    footer->addWidget(m_next);
    column->addLayout(footer);

    connect(m_skip, &QPushButton::clicked, this, &FeatureTourCard::skipClicked);
    connect(m_next, &QPushButton::clicked, this, &FeatureTourCard::nextClicked);

    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(20);
    shadow->setOffset(0, 8);
    shadow->setColor(QColor(0, 0, 0, 102));
    setGraphicsEffect(shadow);
}

void FeatureTourCard::showStep(const FeatureTourModel::Step& step, int index, int count) {
    delete m_icon;
    m_icon = new SymbolView(step.icon, 18, m_badge);
    QPalette white = m_icon->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    m_icon->setPalette(white);
    m_icon->move((kBadge - 18) / 2, (kBadge - 18) / 2);
    m_icon->show();
    m_title->setText(step.title);
    m_body->setText(step.body);
    m_counter->setText(QStringLiteral("%1 of %2").arg(index + 1).arg(count));
    // A screen reader announces the card as one: the step, what it says, and where it stands.
    setAccessibleName(
        QStringLiteral("Tour, step %1 of %2: %3").arg(index + 1).arg(count).arg(step.title));
    setAccessibleDescription(step.body);
    m_title->setAccessibleName(step.title);
    m_body->setAccessibleName(step.body);
    m_counter->setAccessibleName(QStringLiteral("Step %1 of %2").arg(index + 1).arg(count));
    const bool last = index + 1 >= count;
    m_skip->setVisible(!last);
    m_next->setText(last ? QStringLiteral("Done") : QStringLiteral("Next"));
    adjustSize();
}

void FeatureTourCard::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void FeatureTourCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter.fillPath(shape, palette().color(QPalette::Window));
    QColor outline = palette().color(QPalette::WindowText);
    outline.setAlphaF(0.2f);
    painter.setPen(QPen(outline, 1));
    painter.drawPath(shape);
}

}  // namespace framlet
