#pragma once

#include <QWidget>

class QLabel;
class QStackedWidget;
class QTabBar;

namespace framlet {

class AppearanceTab;
class FoldersTab;
class GeneralTab;
class Settings;
struct SettingsServices;

// The content of the settings window: a tab bar over the General, Appearance and Folders tabs,
// and above them, while changes cannot be stored, a line that says so. It keeps the tab it shows
// for as long as it lives.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    enum class Tab { general, appearance, folders };

    static constexpr QSize contentSize{460, 340};

    explicit SettingsView(const SettingsServices& services, QWidget* parent = nullptr);

    static QString label(Tab tab);

    Tab selected() const;
    void setSelected(Tab tab);

    QTabBar* tabBar() const { return m_tabBar; }
    GeneralTab* general() const { return m_general; }
    AppearanceTab* appearance() const { return m_appearance; }
    FoldersTab* folders() const { return m_folders; }

    QSize sizeHint() const override { return contentSize; }

private:
    void addTabKeys();
    QLabel* storageProblemBanner(Settings& settings);

    QTabBar* m_tabBar;
    QStackedWidget* m_pages;
    GeneralTab* m_general;
    AppearanceTab* m_appearance;
    FoldersTab* m_folders;
};

}  // namespace framlet
