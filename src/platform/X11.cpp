#include "platform/X11.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstring>

namespace framlet::X11 {

xcb_connection_t* connection() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const auto answer =
        reply(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr));
    return answer ? answer->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t firstRoot(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

int screenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const qsizetype colon = display.lastIndexOf(':');
    return dot > colon ? display.mid(dot + 1).toInt() : 0;
}

bool compositingManagerRunning() {
    xcb_connection_t* c = connection();
    if (!c) {
        return true;  // not X11: the platform composites (Wayland) or draws offscreen
    }
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(screenNumber());
    const xcb_atom_t selectionAtom = atom(c, selection.constData());
    const auto owner =
        reply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selectionAtom), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace framlet::X11
