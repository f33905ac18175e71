#pragma once

#include <QObject>
#include <QPalette>

class QWidget;

namespace framlet {

class ColorScheme;
class Settings;

// The one theme of every window: the light and dark palettes, and which of them applies now —
// the user's choice, or with "system" the desktop's colour scheme (the application's own palette
// where the desktop states none). Main thread only.
class ThemePalette : public QObject {
    Q_OBJECT

public:
    ThemePalette(Settings& settings, ColorScheme& colorScheme, QObject* parent = nullptr);

    QPalette palette() const;
    // Gives the window the current palette now and again at every change, for as long as the
    // window lives.
    void follow(QWidget* window);

    static QPalette light();
    static QPalette dark();

Q_SIGNALS:
    // The palette to use may have changed: the theme setting or the desktop's scheme moved.
    void paletteChanged();

private:
    Settings& m_settings;
    ColorScheme& m_colorScheme;
};

}  // namespace framlet
