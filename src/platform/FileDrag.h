#pragma once

#include <Qt>

class QDrag;

namespace framlet {

// Runs a drag of files (`drag` carries their URLs) to its end and returns the action taken. On
// X11 it keeps answering for the files after the drop, which a Wayland window that the drop
// reached through XWayland asks for only then.
Qt::DropAction execFileDrag(QDrag& drag, Qt::DropActions actions, Qt::DropAction defaultAction);

}  // namespace framlet
