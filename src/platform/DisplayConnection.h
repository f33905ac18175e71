#pragma once

#include <QString>

namespace framlet {

// Whether a graphical session can be reached, checked before any QApplication exists so that a
// missing display gives a clear message instead of the toolkit aborting.
namespace DisplayConnection {

// An empty string when the display can be reached, otherwise why not.
QString problem();

}  // namespace DisplayConnection
}  // namespace framlet
