#include "platform/XdndDataServer.h"

#include <QAbstractEventDispatcher>
#include <vector>

#include "platform/X11.h"

namespace framlet {
namespace {

// Far more than any list of file names; larger answers would need the incremental protocol.
constexpr qsizetype maxAnswerBytes = 256 * 1024;

// The bytes of each format the drag offers, by MIME type: the files as a URI list (lines ending
// in CRLF) and as plain text, one per line.
std::map<QByteArray, QByteArray> formatsOf(const QList<QUrl>& urls) {
    QByteArray uriList;
    QByteArray text;
    for (const QUrl& url : urls) {
        uriList += url.toEncoded() + "\r\n";
        text += (url.isLocalFile() ? url.toLocalFile() : url.toString()).toUtf8() + '\n';
    }
    return {{"text/uri-list", uriList}, {"text/plain", text}, {"UTF8_STRING", text}};
}

}  // namespace

XdndDataServer::XdndDataServer(xcb_connection_t* connection, const QList<QUrl>& urls,
                               QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_selection(X11::atom(connection, "XdndSelection"))
    , m_targets(X11::atom(connection, "TARGETS")) {
    for (const auto& [type, bytes] : formatsOf(urls)) {
        m_data[X11::atom(connection, type.constData())] = bytes;
    }
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        dispatcher->installNativeEventFilter(this);
    }
}

XdndDataServer::~XdndDataServer() {
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        dispatcher->removeNativeEventFilter(this);
    }
}

bool XdndDataServer::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST) {
        return false;
    }
    const auto& request = *reinterpret_cast<const xcb_selection_request_event_t*>(event);
    return request.selection == m_selection && answer(request);
}

bool XdndDataServer::answer(const xcb_selection_request_event_t& request) {
    // Obsolete requestors name no property: the answer goes into one named for the target.
    const xcb_atom_t property =
        request.property != XCB_ATOM_NONE ? request.property : request.target;
    if (request.target == m_targets) {
        std::vector<xcb_atom_t> targets{m_targets};
        for (const auto& entry : m_data) {
            targets.push_back(entry.first);
        }
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_ATOM, 32, targets.size(), targets.data());
        reply(request, property);
        return true;
    }
    if (!m_dragEnded) {
        return false;
    }
    const auto found = m_data.find(request.target);
    if (found == m_data.end() || found->second.size() > maxAnswerBytes) {
        reply(request, XCB_ATOM_NONE);  // refused: not a format of this drag
        return true;
    }
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                        request.target, 8, found->second.size(), found->second.constData());
    reply(request, property);
    return true;
}

void XdndDataServer::reply(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(m_connection);
}

}  // namespace framlet
