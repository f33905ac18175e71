#pragma once

class QWindow;

namespace framlet {

// Window manager hints for floating windows that belong to no workspace.
namespace WindowHints {

// Shows the window on every workspace (_NET_WM_DESKTOP 0xFFFFFFFF, _NET_WM_STATE_STICKY), keeps a
// tool window out of taskbars, pagers and task switchers (_NET_WM_STATE_SKIP_TASKBAR and _PAGER,
// KWin's _KDE_NET_WM_STATE_SKIP_SWITCHER), and keeps the
// window above others when it asks to stay on top.
// Call it just before mapping the window, for the window manager to read when it manages it, and
// again just after, because a window manager may still be erasing the hints of a previous unmap.
// Does nothing when the platform is not X11.
void keepOnAllWorkspaces(QWindow* window);

// Keeps the window out of taskbars, pagers and the task switcher (skip) or lets it in: written
// into the window's state before it is mapped, asked of the window manager while it is.
// Does nothing when the platform is not X11.
void setSkipTaskbar(QWindow* window, bool skip);

}  // namespace WindowHints
}  // namespace framlet
