#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QSlider;

namespace framlet {

class Settings;

// The theme of every window, and the shelf's columns and height; the shelf follows each change
// while it is open.
class AppearanceTab : public QWidget {
    Q_OBJECT

public:
    explicit AppearanceTab(Settings& settings, QWidget* parent = nullptr);

    static QString heightText(double height);

    QComboBox* themePicker() const { return m_theme; }
    QComboBox* columnsPicker() const { return m_columns; }
    QSlider* heightSlider() const { return m_height; }
    QLabel* heightLabel() const { return m_heightLabel; }

private:
    void showSettings();

    Settings& m_settings;
    QComboBox* m_theme;
    QComboBox* m_columns;
    QSlider* m_height;
    QLabel* m_heightLabel;
};

}  // namespace framlet
