#include "platform/FileDrag.h"

#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

#include "platform/X11.h"
#include "platform/XdndDataServer.h"

namespace framlet {
namespace {

// How long the files stay on offer after a drop: a receiver reads them at once.
constexpr int answerAfterDropMs = 60 * 1000;

}  // namespace

Qt::DropAction execFileDrag(QDrag& drag, Qt::DropActions actions, Qt::DropAction defaultAction) {
    // One drag's server at a time: the files of an earlier drag are never answered for a later.
    static QPointer<XdndDataServer> server;
    delete server;
    if (xcb_connection_t* connection = X11::connection()) {
        server = new XdndDataServer(connection, drag.mimeData()->urls(), qGuiApp);
    }
    const Qt::DropAction action = drag.exec(actions, defaultAction);
    if (server) {
        server->dragEnded();
        QTimer::singleShot(answerAfterDropMs, server, &QObject::deleteLater);
    }
    return action;
}

}  // namespace framlet
