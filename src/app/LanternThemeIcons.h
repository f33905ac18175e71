#pragma once

#include <QString>

namespace framlet {

// The resting lantern as named icons of the user's icon theme, for StatusNotifierItem hosts: a
// host that is handed a name rather than pixels draws the icon itself, and recolours a
// "-symbolic" one to suit its panel. The scalable images are installed into the user's hicolor
// theme ($XDG_DATA_HOME/icons) the first time they are needed.
namespace LanternThemeIcons {

inline const QString emptyName = QStringLiteral("framlet-lantern-symbolic");
inline const QString litName = QStringLiteral("framlet-lantern-lit-symbolic");

// Writes the two icons where they are missing or differ; false when they could not be written.
bool install();

// The name of the icon for a resting fill level (0 or 1).
QString name(bool lit);

}  // namespace LanternThemeIcons
}  // namespace framlet
