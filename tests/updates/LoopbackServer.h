#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <chrono>

namespace framlet::test {

// A small HTTP/1.1 server on 127.0.0.1 for the updater's tests: each path answers with a fixed
// response, never answers at all, or trickles its body a byte at a time.
class LoopbackServer : public QTcpServer {
public:
    struct Response {
        int status = 200;
        QByteArray body = {};
        QByteArray extraHeaders = {};          // "Name: value\r\n" lines
        bool silent = false;                   // accept the request and never answer
        std::chrono::milliseconds trickle{0};  // the pause between the body's bytes
    };

    LoopbackServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, &LoopbackServer::accept);
    }

    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }

    void serve(const QString& path, Response response) { m_routes.insert(path, response); }
    void serve(const QString& path, const QByteArray& body) { serve(path, Response{200, body}); }

    int requests(const QString& path) const { return m_requests.value(path); }

private:
    void accept() {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void answer(QTcpSocket* socket) {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        m_pending.remove(socket);
        ++m_requests[path];
        const Response response = m_routes.value(path, Response{404, "not found"});
        if (response.silent) {
            return;
        }
        socket->write("HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n" +
                      "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n" +
                      response.extraHeaders + "Connection: close\r\n\r\n");
        if (response.trickle.count() > 0) {
            trickle(socket, response.body, response.trickle);
            return;
        }
        socket->write(response.body);
        socket->disconnectFromHost();
    }

    static void trickle(QTcpSocket* socket, const QByteArray& body,
                        std::chrono::milliseconds every) {
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket,
                         [socket, body, sent = qsizetype{0}]() mutable {
                             if (sent < body.size()) {
                                 socket->write(body.mid(sent++, 1));
                             } else {
                                 socket->disconnectFromHost();
                             }
                         });
        timer->start(every);
    }

    QHash<QString, Response> m_routes;
    QHash<QString, int> m_requests;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

}  // namespace framlet::test
