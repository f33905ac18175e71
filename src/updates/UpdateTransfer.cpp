#include "updates/UpdateTransfer.h"

#include <QHostAddress>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "platform/TimerSource.h"

namespace framlet {
namespace {

constexpr int kMaxRedirects = 5;

bool isLoopback(const QUrl& url) {
    const QString host = url.host();
    return host == u"localhost" || QHostAddress(host).isLoopback();
}

}  // namespace

UpdateTransfer::UpdateTransfer(QNetworkAccessManager& network, TimerSource& timers, QUrl url,
                               Limits limits, QIODevice* sink, QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_url(std::move(url))
    , m_limits(limits)
    , m_sink(sink)
    , m_deadline(timers.makeTimer()) {
    connect(m_deadline.get(), &Timer::timedOut, this, [this] {
        // On the next turn: failing ends the timer, which is still delivering this call.
        QTimer::singleShot(0, this, [this] {
            if (!m_reply) {
                return;  // it ended meanwhile
            }
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(m_limits.deadline);
            fail(QStringLiteral("the transfer did not finish within %1 seconds")
                     .arg(seconds.count()));
        });
    });
}

UpdateTransfer::~UpdateTransfer() {
    cancel();
}

bool UpdateTransfer::isAllowed(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) {
        return false;
    }
    return url.scheme() == u"https" || (url.scheme() == u"http" && isLoopback(url));
}

void UpdateTransfer::start() {
    if (!isAllowed(m_url)) {
        // Reported on the next turn, like every other outcome.
        QTimer::singleShot(0, this, [this] { fail(QStringLiteral("not an HTTPS address")); });
        return;
    }
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(static_cast<int>(m_limits.timeout.count()));
    if (m_deadline) {
        m_deadline->start(m_limits.deadline, false);
    }
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl& target) {
        if (target.scheme() == u"https") {
            Q_EMIT m_reply->redirectAllowed();
        } else {
            fail(QStringLiteral("the server redirected to %1, which is not an HTTPS address")
                     .arg(target.toDisplayString()));
        }
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateTransfer::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateTransfer::replyFinished);
}

void UpdateTransfer::cancel() {
    endDeadline();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
}

void UpdateTransfer::readAvailable() {
    if (!m_reply->isOpen()) {
        return;  // aborted by the transfer timeout
    }
    const QVariant total = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (total.isValid() && total.toLongLong() > m_limits.maxBytes) {
        fail(QStringLiteral("the server announced %1 bytes, more than the %2 allowed")
                 .arg(total.toLongLong())
                 .arg(m_limits.maxBytes));
        return;
    }
    const QByteArray chunk = m_reply->readAll();
    m_received += chunk.size();
    if (m_received > m_limits.maxBytes) {
        fail(QStringLiteral("the server sent more than %1 bytes").arg(m_limits.maxBytes));
        return;
    }
    if (!m_sink) {
        m_body.append(chunk);
    } else if (m_sink->write(chunk) != chunk.size()) {
        fail(QStringLiteral("could not store the download: %1").arg(m_sink->errorString()));
        return;
    }
    Q_EMIT progressed(m_received, total.isValid() ? total.toLongLong() : -1);
}

void UpdateTransfer::replyFinished() {
    if (!m_reply) {
        return;
    }
    readAvailable();
    if (!m_reply) {
        return;  // the last bytes went over the limit
    }
    endDeadline();
    const QNetworkReply::NetworkError error = m_reply->error();
    // Nothing else cancels a reply that is still connected: the transfer timeout ended it.
    const bool timedOut =
        error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError;
    const QString reason =
        timedOut ? QStringLiteral("the server did not answer in time") : m_reply->errorString();
    m_reply->deleteLater();
    m_reply = nullptr;
    if (error != QNetworkReply::NoError) {
        Q_EMIT failed(QStringLiteral("%1: %2").arg(m_url.toDisplayString(), reason));
        return;
    }
    Q_EMIT finished(m_body);
}

void UpdateTransfer::endDeadline() {
    // Dropped, not only stopped: a finished transfer is deleted later, and by then the source of
    // its timer may be gone.
    m_deadline.reset();
}

void UpdateTransfer::fail(const QString& description) {
    cancel();
    Q_EMIT failed(QStringLiteral("%1: %2").arg(m_url.toDisplayString(), description));
}

}  // namespace framlet
