#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QToolButton;

namespace framlet {

class GnomeShortcutButton;
class HotKeyRecorder;
class HotKeyStatus;
class LoginItem;
class Settings;
struct SettingsServices;

// Launch at login, the taskbar entry, the version, the global shortcut, how long the lantern
// stays lit and how many screenshots the shelf keeps. Every control writes at once.
class GeneralTab : public QWidget {
    Q_OBJECT

public:
    explicit GeneralTab(const SettingsServices& services, QWidget* parent = nullptr);

    // Turns the login item on or off; on failure the toggle shows the real status again.
    void setLaunchAtLogin(bool on);

    static QString historyText(int limit);

    QCheckBox* launchAtLoginToggle() const { return m_launchAtLogin; }
    QCheckBox* taskbarToggle() const { return m_taskbar; }
    HotKeyRecorder* recorder() const { return m_recorder; }
    QPushButton* resetButton() const { return m_reset; }
    QLabel* hotKeyError() const { return m_hotKeyError; }
    QLabel* desktopBinding() const { return m_desktopBinding; }
    GnomeShortcutButton* gnomeShortcutButton() const { return m_gnomeShortcut; }
    QComboBox* lanternPicker() const { return m_lantern; }
    QLabel* historyLabel() const { return m_historyLabel; }
    QToolButton* historyDown() const { return m_historyDown; }
    QToolButton* historyUp() const { return m_historyUp; }

private:
    QWidget* makeLaunchSection();
    QWidget* makeUpdatesSection(const SettingsServices& services);
    QWidget* makeShortcutSection();
    QWidget* makeTraySection();
    QWidget* makeShelfSection();
    void stepHistory(int direction);
    void showHotKey();
    void showHotKeyError();
    void showHistory();

    Settings& m_settings;
    const LoginItem& m_loginItem;
    HotKeyStatus& m_hotKeyStatus;
    QCheckBox* m_launchAtLogin = nullptr;
    QCheckBox* m_taskbar = nullptr;
    HotKeyRecorder* m_recorder = nullptr;
    QPushButton* m_reset = nullptr;
    QWidget* m_hotKeyErrorRow = nullptr;
    QLabel* m_hotKeyError = nullptr;
    GnomeShortcutButton* m_gnomeShortcut = nullptr;
    QLabel* m_desktopBinding = nullptr;
    QComboBox* m_lantern = nullptr;
    QLabel* m_historyLabel = nullptr;
    QToolButton* m_historyDown = nullptr;
    QToolButton* m_historyUp = nullptr;
};

}  // namespace framlet
