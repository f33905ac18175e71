#pragma once

#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

#include "onboarding/OnboardingModel.h"
#include "onboarding/OnboardingView.h"

namespace framlet {

class HotKeyStatus;
class OnboardingWindow;
class Settings;
class ThemePalette;

// Owns the first-run window and the model behind it. The flow ends with Done or with the
// window's close button; either way onboarding is stored as completed, the window hides (it is
// kept, in its last state) and finished() tells the owner to watch the folders chosen.
class OnboardingController : public QObject {
    Q_OBJECT

public:
    // How folders are picked, checked and shown, handed to every model and view it makes.
    struct Services {
        // Runs over the given window, so the window manager gives the focus back to it.
        std::function<std::optional<QUrl>(const QUrl& startIn, QWidget* over)> chooseFolder;
        OnboardingModel::Probe probe;
        OnboardingView::ShowFolder showInFileManager;
        // Lets the window follow the program's taskbar presence.
        std::function<void(QWidget* window)> joinTaskbar;
        // Where the shortcut stands; the last screen offers what it lacks (GNOME's shortcut).
        HotKeyStatus* hotKeyStatus = nullptr;
    };

    OnboardingController(Settings& settings, ThemePalette& theme, Services services,
                         QObject* parent = nullptr);
    ~OnboardingController() override;

    // Builds the window over the detected folder the first time; then brings it to the front.
    void present(const QUrl& folder);

    // Null before the first present().
    OnboardingModel* model() const { return m_model.get(); }
    OnboardingWindow* window() const { return m_window.get(); }
    OnboardingView* view() const { return m_view; }

Q_SIGNALS:
    void finished();

private:
    void dismiss();

    Settings& m_settings;
    ThemePalette& m_theme;
    Services m_services;
    std::unique_ptr<OnboardingModel> m_model;
    std::unique_ptr<OnboardingWindow> m_window;
    OnboardingView* m_view = nullptr;  // owned by the window
};

}  // namespace framlet
