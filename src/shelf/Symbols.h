#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace framlet {

// The shelf's symbols by their names ("magnifyingglass", "gearshape", ...). A desktop icon theme
// that has a fitting icon draws it; otherwise Adwaita's symbolic icon is used, drawn in the text
// colour of the owner's palette as it stands at each painting, so it follows light and dark
// themes. Without either, the style's nearest standard icon.
namespace Symbols {

// owner may be null: the application's palette then gives the colour.
QIcon icon(const QString& name, const QWidget* owner = nullptr);

// Makes Adwaita the theme Qt falls back to for the names the desktop's theme lacks (or all of
// them, without one). Called at start, so Qt's own dialogs use it too; icon() makes sure of it.
void useAdwaitaAsFallback();

// Whether a desktop theme of the user's own is in use, rather than none or Adwaita itself,
// whose symbolic icons suit the shelf better than its full-colour ones.
bool desktopThemeInUse();

}  // namespace Symbols
}  // namespace framlet
