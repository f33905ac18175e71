#pragma once

#include <QIcon>
#include <QString>

namespace framlet {

// The shelf's symbols by their names ("magnifyingglass", "gearshape", ...): the icon theme's
// fitting icon where there is one, else the style's nearest standard icon.
namespace Symbols {

QIcon icon(const QString& name);

}  // namespace Symbols
}  // namespace framlet
