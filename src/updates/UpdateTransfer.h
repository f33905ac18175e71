#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <memory>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

namespace framlet {

class Timer;
class TimerSource;

// One guarded GET for the updater: HTTPS only (plain HTTP only to a loopback address), redirects
// only to HTTPS, a limit on the time without progress, on the whole time (a server that trickles
// bytes keeps no transfer alive for ever) and on the size. The body is kept in memory or, with a
// sink, written there as it arrives. Exactly one of finished and failed is emitted, after start()
// has returned.
class UpdateTransfer : public QObject {
    Q_OBJECT

public:
    struct Limits {
        qint64 maxBytes;
        std::chrono::milliseconds timeout;   // without a byte arriving
        std::chrono::milliseconds deadline;  // from start to the last byte
    };

    UpdateTransfer(QNetworkAccessManager& network, TimerSource& timers, QUrl url, Limits limits,
                   QIODevice* sink = nullptr, QObject* parent = nullptr);
    ~UpdateTransfer() override;

    // Whether an address may be fetched at all.
    static bool isAllowed(const QUrl& url);

    void start();
    void cancel();

    QUrl url() const { return m_url; }
    qint64 received() const { return m_received; }

Q_SIGNALS:
    void progressed(qint64 received, qint64 total);
    // The body when no sink was given; empty otherwise.
    void finished(const QByteArray& body);
    void failed(const QString& description);

private:
    void readAvailable();
    void replyFinished();
    void endDeadline();
    void fail(const QString& description);

    QNetworkAccessManager& m_network;
    QUrl m_url;
    Limits m_limits;
    QIODevice* m_sink;
    std::unique_ptr<Timer> m_deadline;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    qint64 m_received = 0;
    QString m_failure;
};

}  // namespace framlet
