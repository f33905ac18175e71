#include "onboarding/OnboardingModel.h"

#include "preferences/Settings.h"

namespace framlet {

OnboardingModel::OnboardingModel(const QUrl& detectedFolder, Settings& settings,
                                 FolderChooser chooseFolder, Probe probe, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_chooseFolder(std::move(chooseFolder))
    , m_probe(std::move(probe))
    , m_detectedFolder(detectedFolder) {
}

void OnboardingModel::setStep(Step step) {
    if (m_step != step) {
        m_step = step;
        Q_EMIT stepChanged(step);
    }
}

QUrl OnboardingModel::folder() const {
    return m_choice == FolderChoice::custom && m_customFolder ? *m_customFolder : m_detectedFolder;
}

void OnboardingModel::select(FolderChoice choice) {
    if (choice == FolderChoice::custom && !m_customFolder) {
        return;
    }
    m_choice = choice;
    Q_EMIT choiceChanged();
}

void OnboardingModel::pickCustomFolder() {
    if (const std::optional<QUrl> picked = m_chooseFolder(folder())) {
        m_customFolder = *picked;
        m_choice = FolderChoice::custom;
        Q_EMIT choiceChanged();
    }
}

void OnboardingModel::confirmFolder() {
    if (m_choice == FolderChoice::custom && m_customFolder) {
        m_settings.addWatchedFolder(m_customFolder->toLocalFile());
        requestAccess();
        return;
    }
    // An empty folder list already means the screenshot location is followed.
    setStep(Step::explainAccess);
}

void OnboardingModel::requestAccess() {
    probe(folder(), [this](FolderAccess::Status status) { setStep(stepFor(status)); });
}

void OnboardingModel::chooseFolderManually() {
    const std::optional<QUrl> picked = m_chooseFolder(folder());
    if (!picked) {
        return;
    }
    const QUrl chosen = *picked;
    probe(chosen, [this, chosen](FolderAccess::Status status) {
        if (status == FolderAccess::Status::granted) {
            m_customFolder = chosen;
            m_choice = FolderChoice::custom;
            Q_EMIT choiceChanged();
            m_settings.addWatchedFolder(chosen.toLocalFile());
        }
        setStep(stepFor(status));
    });
}

void OnboardingModel::finish() {
    m_settings.setHasCompletedOnboarding(true);
    Q_EMIT finished();
}

void OnboardingModel::probe(const QUrl& folder, std::function<void(FolderAccess::Status)> then) {
    setStep(Step::checking);
    // The model as context: an answer arriving after it is gone is dropped.
    m_probe(folder).then(this, std::move(then));
}

OnboardingModel::Step OnboardingModel::stepFor(FolderAccess::Status status) {
    switch (status) {
        case FolderAccess::Status::granted:
            return Step::done;
        case FolderAccess::Status::denied:
            return Step::denied;
        case FolderAccess::Status::missing:
            return Step::missing;
    }
    return Step::denied;
}

}  // namespace framlet
