#pragma once

#include <QWidget>

namespace framlet {

class SettingsView;
struct SettingsServices;

// The settings window, "Framlet Settings": made once, with content 460 by 340, floating above
// other windows, following the theme and the taskbar presence. Its close button hides it, so it
// comes back as it was, on the tab it showed.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    explicit SettingsWindow(const SettingsServices& services);

    static QString title();

    SettingsView* view() const { return m_view; }

    // Shows the window in front of the others and gives it the keyboard.
    void present();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SettingsView* m_view;
};

}  // namespace framlet
