#pragma once

class QWindow;

namespace framlet {

// Window manager hints for floating windows that belong to no workspace.
namespace WindowHints {

// Shows the window on every workspace and keeps it out of taskbars and pagers
// (_NET_WM_DESKTOP 0xFFFFFFFF, _NET_WM_STATE_STICKY, _NET_WM_STATE_SKIP_TASKBAR and _PAGER), and
// above other windows when it asks to stay on top.
// Call it just before mapping the window, for the window manager to read when it manages it, and
// again just after, because a window manager may still be erasing the hints of a previous unmap.
// Does nothing when the platform is not X11.
void keepOnAllWorkspaces(QWindow* window);

}  // namespace WindowHints
}  // namespace framlet
