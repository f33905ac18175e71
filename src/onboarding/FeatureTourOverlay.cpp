#include "onboarding/FeatureTourOverlay.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>
#include <QVariantAnimation>
#include <algorithm>

#include "onboarding/FeatureTourCard.h"
#include "shelf/PanelView.h"

namespace framlet {
namespace {

constexpr int kStepAnimationMs = 220;
constexpr qreal kDimming = 0.45;

QPainterPath rounded(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

}  // namespace

FeatureTourOverlay::FeatureTourOverlay(FeatureTourModel& tour, PanelView& view)
    : QWidget(&view)
    , m_tour(tour)
    , m_view(view)
    , m_card(new FeatureTourCard(this))
    , m_move(new QVariantAnimation(this)) {
    setObjectName(QStringLiteral("featureTour"));
    setGeometry(view.rect());
    m_move->setDuration(kStepAnimationMs);
    m_move->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_move, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setCutout(value.toRectF()); });
    connect(m_card, &FeatureTourCard::nextClicked, &tour, &FeatureTourModel::advance);
    connect(m_card, &FeatureTourCard::skipClicked, &tour, &FeatureTourModel::finish);
    connect(&tour, &FeatureTourModel::activeChanged, this, &FeatureTourOverlay::activeChanged);
    connect(&tour, &FeatureTourModel::stepIndexChanged, this, &FeatureTourOverlay::stepChanged);
    view.installEventFilter(this);
    qApp->installEventFilter(this);
    activeChanged(tour.isActive());
}

FeatureTourOverlay::~FeatureTourOverlay() {
    qApp->removeEventFilter(this);
}

QWidget* FeatureTourOverlay::targetWidget(FeatureTourModel::Target target) const {
    switch (target) {
        case FeatureTourModel::Target::search:
            return m_view.searchField()->parentWidget();  // the whole search bar
        case FeatureTourModel::Target::shelf:
            return m_view.shelfArea();
        case FeatureTourModel::Target::settings:
            return m_view.settingsButton();
    }
    return nullptr;
}

QRectF FeatureTourOverlay::targetRect(FeatureTourModel::Target target) const {
    const QWidget* widget = targetWidget(target);
    if (!widget || !widget->isVisibleTo(&m_view)) {
        return {QPointF(m_view.width() / 2.0, m_view.height() / 2.0), QSizeF()};
    }
    return {QPointF(widget->mapTo(&m_view, QPoint())), QSizeF(widget->size())};
}

QRectF FeatureTourOverlay::cutoutFor(FeatureTourModel::Target target) const {
    const QRectF grown =
        targetRect(target).adjusted(-cutoutMargin, -cutoutMargin, cutoutMargin, cutoutMargin);
    return grown.intersected(QRectF(m_view.rect()));
}

void FeatureTourOverlay::activeChanged(bool active) {
    setVisible(active);
    if (active) {
        setGeometry(m_view.rect());
        raise();
        // Shown in place at once; only a change of step moves the cut-out.
        m_move->stop();
        showStepOnCard();
        setCutout(cutoutFor(m_tour.currentStep().target));
    }
}

void FeatureTourOverlay::showStepOnCard() {
    m_card->showStep(m_tour.currentStep(), m_tour.stepIndex(), int(m_tour.steps().size()));
}

void FeatureTourOverlay::stepChanged() {
    showStepOnCard();
    if (!isVisible()) {
        return;
    }
    m_move->stop();
    if (m_instantSteps) {
        setCutout(cutoutFor(m_tour.currentStep().target));
        return;
    }
    m_move->setStartValue(m_cutout);
    m_move->setEndValue(cutoutFor(m_tour.currentStep().target));
    m_move->start();
}

void FeatureTourOverlay::setCutout(const QRectF& cutout) {
    m_cutout = cutout;
    // Clicks inside the cut-out go to the control beneath: it is no part of this widget. The
    // ring is drawn over the cut-out's edge, so only the inside is left out.
    // A card too tall for the space beside a large target lies over it and keeps its clicks.
    placeCard();
    const QRectF inside = cutout.adjusted(2, 2, -2, -2);
    QRegion region(rect());
    if (!inside.isEmpty()) {
        region -= QRegion(rounded(inside, cornerRadius).toFillPolygon().toPolygon()) -
                  QRegion(m_card->geometry());
    }
    setMask(region);
    update();
}

void FeatureTourOverlay::placeCard() {
    const qreal h = height();
    // Wrapped lines: the height the card needs at its width, which grows with larger text.
    const int cardHeight = m_card->hasHeightForWidth()
                               ? m_card->heightForWidth(FeatureTourCard::width)
                               : m_card->sizeHint().height();
    qreal top = 0;
    if (h / 2 > m_cutout.center().y()) {
        top = std::min(m_cutout.bottom() + 10, h - 40);  // below a target in the upper half
    } else {
        const qreal below = std::min(std::max(8.0, h - m_cutout.top() + 10), h - 40);
        top = h - below - cardHeight;  // above one in the lower half
    }
    top = std::clamp(top, 8.0, std::max(8.0, h - cardHeight - 8));
    m_card->setGeometry(QRect(QPoint((width() - FeatureTourCard::width) / 2, qRound(top)),
                              QSize(FeatureTourCard::width, cardHeight)));
}

void FeatureTourOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath backdrop = rounded(QRectF(rect()), PanelView::cornerRadius);
    backdrop.addPath(rounded(m_cutout, cornerRadius));
    backdrop.setFillRule(Qt::OddEvenFill);
    painter.fillPath(backdrop, QColor(0, 0, 0, qRound(255 * kDimming)));

    const QPainterPath ring = rounded(m_cutout, cornerRadius);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 153), 5));
    painter.drawPath(ring);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2.5));
    painter.drawPath(ring);
}

void FeatureTourOverlay::mousePressEvent(QMouseEvent* event) {
    event->accept();
    m_tour.advance();  // the dimmed area: one step on
}

bool FeatureTourOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_view && event->type() == QEvent::Resize) {
        setGeometry(m_view.rect());
        if (isVisible()) {
            setCutout(cutoutFor(m_tour.currentStep().target));
        }
        return false;
    }
    // Keys typed into the shelf, wherever its focus is (the search field, the grid).
    const auto* receiver = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && isVisible() && receiver &&
        receiver->window() == window()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // The card's default button, unless Tab brought the focus to Skip.
            QPushButton* skip = m_card->skipButton();
            (receiver == skip ? skip : m_card->nextButton())->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace framlet
