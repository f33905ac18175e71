#pragma once

#include <QPointer>
#include <QRectF>
#include <QWidget>

#include "onboarding/FeatureTourModel.h"

class QVariantAnimation;

namespace framlet {

class FeatureTourCard;
class PanelView;

// The tour drawn over the shelf while it is active: the shelf dimmed except for a rounded
// cut-out around the step's target, an accent ring around the cut-out, and the card below a
// target in the upper half or above one in the lower half. A click on the dimmed area goes one
// step on; a click inside the cut-out reaches the control beneath, which the overlay leaves out
// of its input region. Return presses Next (or Done) while the shelf is the active window.
class FeatureTourOverlay : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal cutoutMargin = 5;
    static constexpr qreal cornerRadius = 8;

    // A child of the view, covering it for as long as it lives.
    FeatureTourOverlay(FeatureTourModel& tour, PanelView& view);
    ~FeatureTourOverlay() override;

    // The step's target in the view, or an empty rectangle at its centre when the target is not
    // on screen.
    QRectF targetRect(FeatureTourModel::Target target) const;
    // The target grown by the margin, within the view.
    QRectF cutoutFor(FeatureTourModel::Target target) const;
    // Where the cut-out is drawn now; it moves there over a short animation at each step.
    QRectF cutout() const { return m_cutout; }
    FeatureTourCard* card() const { return m_card; }
    // When the desktop asks for no animation the cut-out jumps to each step's target.
    void setInstantSteps(bool instant) { m_instantSteps = instant; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* targetWidget(FeatureTourModel::Target target) const;
    void activeChanged(bool active);
    void stepChanged();
    void showStepOnCard();
    void setCutout(const QRectF& cutout);
    void placeCard();

    FeatureTourModel& m_tour;
    PanelView& m_view;
    FeatureTourCard* m_card;
    QVariantAnimation* m_move;
    QRectF m_cutout;
    bool m_instantSteps = false;
};

}  // namespace framlet
