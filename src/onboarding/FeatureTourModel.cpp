#include "onboarding/FeatureTourModel.h"

#include <algorithm>

#include "platform/DebugLog.h"
#include "preferences/Settings.h"
#include "shortcut/KeyCodeFormatter.h"

namespace framlet {

FeatureTourModel::FeatureTourModel(Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings) {
}

QList<FeatureTourModel::Step> FeatureTourModel::steps() const {
    const QString shortcut = KeyCodeFormatter::text(m_settings.hotKeyBinding());
    return {
        {Target::search, QStringLiteral("magnifyingglass"),
         QStringLiteral("Search inside your screenshots"),
         QStringLiteral("Framlet reads the text in every screenshot, entirely on your computer. "
                        "Type any word you remember seeing — an error message, a name, a price — "
                        "and it's found.")},
        {Target::shelf, QStringLiteral("hand.draw.fill"),
         QStringLiteral("Drag straight into other apps"),
         QStringLiteral("Every screenshot lands on this shelf. Drag a thumbnail into Slack, an "
                        "email, or your file manager — or click one and press Space for a "
                        "full-size preview.")},
        {Target::settings, QStringLiteral("gearshape.fill"), QStringLiteral("Make it yours"),
         QStringLiteral("The shortcut (") + shortcut +
             QStringLiteral(" opens this shelf from anywhere), watched folders, grid size, and "
                            "theme all live in Settings.")},
    };
}

FeatureTourModel::Step FeatureTourModel::currentStep() const {
    const QList<Step> all = steps();
    return all[std::min<qsizetype>(m_stepIndex, all.size() - 1)];
}

bool FeatureTourModel::isLastStep() const {
    return m_stepIndex >= steps().size() - 1;
}

void FeatureTourModel::beginIfNeeded() {
    if (m_settings.hasCompletedFeatureTour() || m_isActive) {
        return;
    }
    setActive(true);
}

void FeatureTourModel::suspend() {
    setActive(false);
}

void FeatureTourModel::advance() {
    if (isLastStep()) {
        finish();
    } else {
        setStepIndex(m_stepIndex + 1);
    }
}

void FeatureTourModel::finish() {
    setActive(false);
    setStepIndex(0);
    m_settings.setHasCompletedFeatureTour(true);
    DebugLog::log(QStringLiteral("tour: completed"));
}

void FeatureTourModel::logStep() const {
    if (m_isActive) {
        DebugLog::log(
            QStringLiteral("tour: step %1 of %2").arg(m_stepIndex + 1).arg(steps().size()));
    }
}

void FeatureTourModel::setActive(bool active) {
    if (m_isActive != active) {
        m_isActive = active;
        logStep();
        Q_EMIT activeChanged(active);
    }
}

void FeatureTourModel::setStepIndex(int index) {
    if (m_stepIndex != index) {
        m_stepIndex = index;
        logStep();
        Q_EMIT stepIndexChanged(index);
    }
}

}  // namespace framlet
