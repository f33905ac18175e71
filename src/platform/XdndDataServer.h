#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QUrl>
#include <map>

namespace framlet {

// Answers the requests for the X11 drag selection (XdndSelection) that Qt's own drag code leaves
// unanswered. Mutter asks for the list of formats (TARGETS) before it carries a drag from an
// XWayland window over to Wayland windows, and a Wayland window asks for the files only once the
// drop has ended Qt's drag; Qt answers neither, so such a drop arrived empty.
//
// It answers only requests that reach the program, which the X server sends only while the
// program owns the selection, that is while its drag lasts and until another program drags.
class XdndDataServer : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    XdndDataServer(xcb_connection_t* connection, const QList<QUrl>& urls,
                   QObject* parent = nullptr);
    ~XdndDataServer() override;

    // From now on the data itself is answered here too; during the drag Qt answers it.
    void dragEnded() { m_dragEnded = true; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // Whether the request was answered (then Qt does not see it).
    bool answer(const xcb_selection_request_event_t& request);
    void reply(const xcb_selection_request_event_t& request, xcb_atom_t property);

    xcb_connection_t* m_connection;
    xcb_atom_t m_selection;
    xcb_atom_t m_targets;
    std::map<xcb_atom_t, QByteArray> m_data;
    bool m_dragEnded = false;
};

}  // namespace framlet
