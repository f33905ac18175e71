#include "platform/WindowHints.h"
#include "platform/X11.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace framlet::WindowHints {
namespace {

constexpr uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr uint32_t kStateRemove = 0;
constexpr uint32_t kStateAdd = 1;
constexpr uint32_t kFromApplication = 1;

using X11::atom;
using X11::connection;
using X11::Reply;
std::vector<xcb_atom_t> currentStates(xcb_connection_t* c, xcb_window_t window, xcb_atom_t key) {
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, key, XCB_ATOM_ATOM, 0, 1024),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) {
        return {};
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return {atoms, atoms + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t)};
}

// What the window manager reads when it starts managing the window.
void writeProperties(xcb_connection_t* c, xcb_window_t window,
                     const std::vector<xcb_atom_t>& wanted) {
    const xcb_atom_t desktopKey = atom(c, "_NET_WM_DESKTOP");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, desktopKey, XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
    const xcb_atom_t stateKey = atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> states = currentStates(c, window, stateKey);
    for (const xcb_atom_t state : wanted) {
        if (std::find(states.begin(), states.end(), state) == states.end()) {
            states.push_back(state);
        }
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, stateKey, XCB_ATOM_ATOM, 32,
                        states.size(), states.data());
}

void sendToWindowManager(xcb_connection_t* c, xcb_window_t root, xcb_window_t window,
                         const char* type, std::initializer_list<uint32_t> data) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(c, type);
    std::copy(data.begin(), data.end(), message.data.data32);
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

// What a window manager acts on for a window it already manages; ignored for others.
void requestFromWindowManager(xcb_connection_t* c, xcb_window_t window,
                              const std::vector<xcb_atom_t>& wanted) {
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    if (!geometry) {
        return;
    }
    sendToWindowManager(c, geometry->root, window, "_NET_WM_DESKTOP",
                        {kAllDesktops, kFromApplication});
    // A request names at most two states.
    for (std::size_t i = 0; i < wanted.size(); i += 2) {
        const uint32_t second = i + 1 < wanted.size() ? wanted[i + 1] : uint32_t{XCB_ATOM_NONE};
        sendToWindowManager(c, geometry->root, window, "_NET_WM_STATE",
                            {kStateAdd, wanted[i], second, kFromApplication});
    }
}

bool isMapped(xcb_connection_t* c, xcb_window_t window) {
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr),
        &std::free);
    return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
}

void writeSkipStates(xcb_connection_t* c, xcb_window_t window, const std::vector<xcb_atom_t>& skip,
                     bool add) {
    const xcb_atom_t stateKey = atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> states = currentStates(c, window, stateKey);
    for (const xcb_atom_t state : skip) {
        states.erase(std::remove(states.begin(), states.end(), state), states.end());
        if (add) {
            states.push_back(state);
        }
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, stateKey, XCB_ATOM_ATOM, 32,
                        states.size(), states.data());
}

}  // namespace

void setSkipTaskbar(QWindow* window, bool skip) {
    xcb_connection_t* c = connection();
    if (!c || !window) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    const std::vector<xcb_atom_t> states{atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                         atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (!isMapped(c, id)) {
        writeSkipStates(c, id, states, skip);
    } else if (const Reply<xcb_get_geometry_reply_t> geometry(
                   xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr), &std::free);
               geometry) {
        sendToWindowManager(
            c, geometry->root, id, "_NET_WM_STATE",
            {skip ? kStateAdd : kStateRemove, states[0], states[1], kFromApplication});
    }
    xcb_flush(c);
}

void keepOnAllWorkspaces(QWindow* window) {
    xcb_connection_t* c = connection();
    if (!c || !window) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    std::vector<xcb_atom_t> wanted{atom(c, "_NET_WM_STATE_STICKY")};
    // A normal window (the preview while the program shows in the taskbar) keeps its entry.
    if (window->type() == Qt::Tool) {
        wanted.push_back(atom(c, "_NET_WM_STATE_SKIP_TASKBAR"));
        wanted.push_back(atom(c, "_NET_WM_STATE_SKIP_PAGER"));
        // KWin keeps its task switcher apart from the taskbar.
        wanted.push_back(atom(c, "_KDE_NET_WM_STATE_SKIP_SWITCHER"));
    }
    // Qt writes "above" before mapping only when its cached state changed, and a window manager
    // may erase it on the unmap before: ask for it with the rest.
    if (window->flags().testFlag(Qt::WindowStaysOnTopHint)) {
        wanted.push_back(atom(c, "_NET_WM_STATE_ABOVE"));
    }
    // A mapped window's state belongs to the window manager; only a request may change it.
    if (!isMapped(c, id)) {
        writeProperties(c, id, wanted);
    }
    requestFromWindowManager(c, id, wanted);
    xcb_flush(c);
}

}  // namespace framlet::WindowHints
