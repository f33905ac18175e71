#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace framlet {

class Settings;

// The three coach marks shown over the shelf after onboarding. Hiding the shelf suspends the
// tour where it stands; Skip, or Done on the last step, ends it for good. Main thread only.
class FeatureTourModel : public QObject {
    Q_OBJECT

public:
    enum class Target { search, shelf, settings };

    struct Step {
        Target target;
        QString icon;
        QString title;
        QString body;
        bool operator==(const Step&) const = default;
    };

    explicit FeatureTourModel(Settings& settings, QObject* parent = nullptr);

    // Made afresh at each call, so the shortcut named is always the current one.
    QList<Step> steps() const;
    Step currentStep() const;
    bool isActive() const { return m_isActive; }
    int stepIndex() const { return m_stepIndex; }
    bool isLastStep() const;

    // Shows the tour, at the step where it stopped, unless it was completed or already shows.
    void beginIfNeeded();
    // Hides the tour without ending it.
    void suspend();
    // The next step, or the end after the last one.
    void advance();
    // Ends the tour for good.
    void finish();

Q_SIGNALS:
    void activeChanged(bool active);
    void stepIndexChanged(int index);

private:
    void setActive(bool active);
    void setStepIndex(int index);
    void logStep() const;

    Settings& m_settings;
    bool m_isActive = false;
    int m_stepIndex = 0;
};

}  // namespace framlet
