#pragma once

#include "shelf/AllWorkspacesWindow.h"

namespace framlet {

// The first-run window: titled and closable, above other windows and on every workspace. Its
// close button only asks; the owner decides and hides it.
class OnboardingWindow : public AllWorkspacesWindow {
    Q_OBJECT

public:
    static constexpr int width = 520;
    static constexpr int height = 470;

    // Takes ownership of the content, which fills the window.
    explicit OnboardingWindow(QWidget* content);

Q_SIGNALS:
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace framlet
