#include "settings/ThemePalette.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <memory>

#include "platform/ColorScheme.h"
#include "preferences/Settings.h"

namespace framlet {

ThemePalette::ThemePalette(Settings& settings, ColorScheme& colorScheme, QObject* parent)
    : QObject(parent), m_settings(settings), m_colorScheme(colorScheme) {
    connect(&settings, &Settings::themeChanged, this, &ThemePalette::paletteChanged);
    connect(&colorScheme, &ColorScheme::preferenceChanged, this, &ThemePalette::paletteChanged);
}

QPalette ThemePalette::palette() const {
    switch (m_settings.theme()) {
        case Settings::Theme::light:
            return light();
        case Settings::Theme::dark:
            return dark();
        case Settings::Theme::system:
            break;
    }
    switch (m_colorScheme.preference()) {
        case ColorScheme::Preference::dark:
            return dark();
        case ColorScheme::Preference::light:
            return light();
        case ColorScheme::Preference::none:
            break;
    }
    return QApplication::palette();
}

void ThemePalette::follow(QWidget* window) {
    window->setPalette(palette());
    connect(this, &ThemePalette::paletteChanged, window, [this, window] {
        window->setPalette(palette());
        window->update();
    });
}

QPalette ThemePalette::light() {
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion ? fusion->standardPalette() : QApplication::palette();
}

QPalette ThemePalette::dark() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(50, 50, 54));
    dark.setColor(QPalette::Text, QColor(235, 235, 235));
    dark.setColor(QPalette::PlaceholderText, QColor(150, 150, 155));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    dark.setColor(QPalette::ToolTipBase, QColor(55, 55, 58));
    dark.setColor(QPalette::ToolTipText, QColor(235, 235, 235));
    dark.setColor(QPalette::Highlight, QColor(10, 132, 255));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Light, QColor(75, 75, 78));
    dark.setColor(QPalette::Midlight, QColor(62, 62, 65));
    dark.setColor(QPalette::Mid, QColor(80, 80, 84));
    dark.setColor(QPalette::Dark, QColor(25, 25, 27));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Link, QColor(64, 156, 255));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(QPalette::Disabled, role, QColor(120, 120, 124));
    }
    return dark;
}

}  // namespace framlet
