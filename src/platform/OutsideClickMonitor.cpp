#include "platform/OutsideClickMonitor.h"
#include "platform/X11.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/DebugLog.h"
#include "platform/DisplayConnection.h"

namespace framlet {
namespace {

using X11::Reply;
// Buttons 4 to 7 are the scroll wheel, which should not close anything.
constexpr uint32_t kLeftButton = 1;
constexpr uint32_t kRightButton = 3;
// Deep enough for frame, client and nested native windows; guards against a changing tree.
constexpr int kMaxWindowDepth = 16;

using X11::connection;
using X11::firstRoot;

// The windows under the pointer from the top level down to the innermost; the X server settles
// stacking and overlap, which rectangles alone would not.
std::vector<xcb_window_t> windowsUnderPointer(xcb_connection_t* c) {
    std::vector<xcb_window_t> chain;
    xcb_window_t window = firstRoot(c);
    for (int depth = 0; depth < kMaxWindowDepth; ++depth) {
        const Reply<xcb_query_pointer_reply_t> pointer(
            xcb_query_pointer_reply(c, xcb_query_pointer(c, window), nullptr), &std::free);
        if (!pointer) {
            break;
        }
        if (!pointer->same_screen && depth == 0) {
            window = pointer->root;  // the pointer is on another screen of the display
            continue;
        }
        if (pointer->child == XCB_WINDOW_NONE) {
            break;
        }
        chain.push_back(pointer->child);
        window = pointer->child;
    }
    return chain;
}

std::vector<xcb_window_t> programWindows() {
    std::vector<xcb_window_t> windows;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->handle()) {
            windows.push_back(static_cast<xcb_window_t>(window->winId()));
        }
    }
    return windows;
}

bool pointerIsOverProgram(xcb_connection_t* c) {
    const std::vector<xcb_window_t> under = windowsUnderPointer(c);
    const std::vector<xcb_window_t> own = programWindows();
    return std::any_of(under.begin(), under.end(), [&](xcb_window_t window) {
        return std::find(own.begin(), own.end(), window) != own.end();
    });
}

bool isButtonThatCloses(uint32_t button) {
    return button == kLeftButton || button == kRightButton;
}

}  // namespace

OutsideClickMonitor::OutsideClickMonitor(Method preferred, QObject* parent)
    : QObject(parent), m_preferred(preferred) {
}

OutsideClickMonitor::~OutsideClickMonitor() {
    stop();
}

void OutsideClickMonitor::start() {
    if (m_active) {
        return;
    }
    m_active = true;
    const bool waylandSession = DisplayConnection::Environment::current().waylandSession;
    if (m_preferred == Method::rawButtonPresses && !waylandSession && selectRawPresses(true)) {
        m_method = Method::rawButtonPresses;
        QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
        return;
    }
    m_method = Method::activationLoss;
    m_stateConnection =
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state != Qt::ApplicationActive) {
                        QTimer::singleShot(activationSettleMs, this,
                                           &OutsideClickMonitor::reportIfStillInactive);
                    }
                });
}

void OutsideClickMonitor::stop() {
    if (!m_active) {
        return;
    }
    m_active = false;
    if (m_method == Method::rawButtonPresses) {
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            dispatcher->removeNativeEventFilter(this);
        }
        selectRawPresses(false);
    }
    disconnect(m_stateConnection);
}

// Selects for all master devices only: Qt selects its own events on the root window for all
// devices, and a selection for the same device would replace Qt's.
bool OutsideClickMonitor::selectRawPresses(bool on) {
    xcb_connection_t* c = connection();
    if (!c) {
        return false;
    }
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present) {
        DebugLog::log(QStringLiteral("panel: no XInput extension, closing on deactivation"));
        return false;
    }
    m_xinputOpcode = extension->major_opcode;
    struct {
        xcb_input_event_mask_t header;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           on ? uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS} : 0u};
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, firstRoot(c), 1, &mask.header));
    if (error) {
        DebugLog::log(
            QStringLiteral("panel: XInput 2 selection failed (error %1)").arg(error->error_code));
        std::free(error);
        return false;
    }
    return true;
}

bool OutsideClickMonitor::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_active || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC) {
        return false;
    }
    const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
    if (generic->extension != m_xinputOpcode || generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS) {
        return false;
    }
    const auto* press = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event);
    if (isButtonThatCloses(press->detail) && !pointerIsOverProgram(connection())) {
        reportLater();
    }
    return false;  // others may want the event too
}

void OutsideClickMonitor::reportIfStillInactive() {
    if (m_active && m_method == Method::activationLoss &&
        QGuiApplication::applicationState() != Qt::ApplicationActive) {
        Q_EMIT clickedOutside();
    }
}

void OutsideClickMonitor::reportLater() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_active) {
                Q_EMIT clickedOutside();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace framlet
