#pragma once

#include <QFrame>

#include "onboarding/FeatureTourModel.h"

class QLabel;
class QPushButton;

namespace framlet {

class SymbolView;

// The tour's explanation beside its target: the step's symbol on an accent square, its title and
// text, "i of n", Skip (except on the last step) and Next, or Done on the last step.
class FeatureTourCard : public QFrame {
    Q_OBJECT

public:
    static constexpr int width = 320;

    explicit FeatureTourCard(QWidget* parent = nullptr);

    void showStep(const FeatureTourModel::Step& step, int index, int count);

    QLabel* titleLabel() const { return m_title; }
    QLabel* counter() const { return m_counter; }
    QPushButton* skipButton() const { return m_skip; }
    QPushButton* nextButton() const { return m_next; }

Q_SIGNALS:
    void skipClicked();
    void nextClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    // A press on the card's own text or margins is the card's: it must not reach the dimmed
    // backdrop behind it, where a press goes one step on.
    void mousePressEvent(QMouseEvent* event) override;

private:
    QWidget* m_badge;
    SymbolView* m_icon = nullptr;
    QLabel* m_title;
    QLabel* m_body;
    QLabel* m_counter;
    QPushButton* m_skip;
    QPushButton* m_next;
};

}  // namespace framlet
