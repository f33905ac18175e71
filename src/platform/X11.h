#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace framlet::X11 {

// Replies of xcb requests are malloc'ed and owned by the caller.
template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw) {
    return Reply<T>(raw, &std::free);
}

// Qt's own X connection, or null when the program does not run on X11 (a native Wayland
// session, the offscreen platform).
xcb_connection_t* connection();

// The atom of a name, interned on the connection; XCB_ATOM_NONE when that fails.
xcb_atom_t atom(xcb_connection_t* connection, const char* name);

// The root window of the connection's first screen.
xcb_window_t firstRoot(xcb_connection_t* connection);

// The screen named by DISPLAY (":0" is 0, ":0.1" is 1), which names the per-screen selections.
int screenNumber();

// Whether a compositing manager runs: only then do translucent windows show what is behind them
// rather than black.
bool compositingManagerRunning();

}  // namespace framlet::X11
