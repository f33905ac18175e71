#pragma once

#include <QFuture>
#include <QObject>
#include <QUrl>
#include <functional>
#include <optional>

#include "library/watcher/FolderAccess.h"

namespace framlet {

class Settings;

// The first-run flow as a state machine: which screen shows, which folder is chosen, and what
// the access check found. The three operations that probe a folder return at once; the probe
// runs off the main thread and its answer moves the step on the main thread. Main thread only.
class OnboardingModel : public QObject {
    Q_OBJECT

public:
    enum class Step { welcome, chooseFolder, explainAccess, checking, denied, missing, done };
    Q_ENUM(Step)
    enum class FolderChoice { detected, custom };

    // Asks the user for a folder, starting in the given one; none when cancelled.
    using FolderChooser = std::function<std::optional<QUrl>(const QUrl& startIn)>;
    // Checks read access without blocking the caller.
    using Probe = std::function<QFuture<FolderAccess::Status>(const QUrl& folder)>;

    OnboardingModel(const QUrl& detectedFolder, Settings& settings, FolderChooser chooseFolder,
                    Probe probe = &FolderAccess::probeOffMain, QObject* parent = nullptr);

    Step step() const { return m_step; }
    void setStep(Step step);
    FolderChoice choice() const { return m_choice; }
    std::optional<QUrl> customFolder() const { return m_customFolder; }
    QUrl detectedFolder() const { return m_detectedFolder; }
    // The custom folder when chosen and picked, otherwise the detected one.
    QUrl folder() const;

    // custom is taken only once a custom folder was picked.
    void select(FolderChoice choice);
    void pickCustomFolder();
    // The folder screen's Continue: a custom folder is added and checked at once, the detected
    // one first gets its explanation.
    void confirmFolder();
    void requestAccess();
    // A folder picked on a failure screen is remembered and added only once it can be read.
    void chooseFolderManually();
    // The Done of the last screen: stores the completion and asks to be dismissed.
    void finish();

Q_SIGNALS:
    void stepChanged(framlet::OnboardingModel::Step step);
    void choiceChanged();
    // The flow has ended; the owner dismisses the window.
    void finished();

private:
    void probe(const QUrl& folder, std::function<void(FolderAccess::Status)> then);
    static Step stepFor(FolderAccess::Status status);

    Settings& m_settings;
    FolderChooser m_chooseFolder;
    Probe m_probe;
    Step m_step = Step::welcome;
    FolderChoice m_choice = FolderChoice::detected;
    std::optional<QUrl> m_customFolder;
    const QUrl m_detectedFolder;
};

}  // namespace framlet
