#pragma once

#include <sodium.h>

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <stdexcept>

namespace framlet::test {

// A real Ed25519 key pair, new for each test, that signs as a release would be signed.
class SigningKey {
public:
    SigningKey() {
        if (sodium_init() < 0) {
            throw std::runtime_error("libsodium did not initialise");
        }
        crypto_sign_keypair(m_public, m_secret);
    }

    QString publicKeyBase64() const {
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(m_public), crypto_sign_PUBLICKEYBYTES)
                .toBase64());
    }

    QByteArray signatureBase64(const QByteArray& data) const {
        unsigned char signature[crypto_sign_BYTES];
        crypto_sign_detached(signature, nullptr,
                             reinterpret_cast<const unsigned char*>(data.constData()),
                             static_cast<unsigned long long>(data.size()), m_secret);
        return QByteArray(reinterpret_cast<const char*>(signature), crypto_sign_BYTES).toBase64();
    }

private:
    unsigned char m_public[crypto_sign_PUBLICKEYBYTES];
    unsigned char m_secret[crypto_sign_SECRETKEYBYTES];
};

// An appcast item as a release feed writes it.
inline QByteArray feedItem(const QString& version, const QUrl& url, qint64 length,
                           const QByteArray& signature, const QString& channel = {},
                           const QString& notes = "Fixes.") {
    const QString channelElement =
        channel.isEmpty() ? QString()
                          : QStringLiteral("<sparkle:channel>%1</sparkle:channel>").arg(channel);
    return QStringLiteral(
               "<item><title>Framlet %1</title><sparkle:version>%1</sparkle:version>"
               "<sparkle:shortVersionString>%1</sparkle:shortVersionString>%2"
               "<description><![CDATA[%3]]></description>"
               "<enclosure url=\"%4\" length=\"%5\" type=\"application/octet-stream\" "
               "sparkle:edSignature=\"%6\"/></item>")
        .arg(version, channelElement, notes, url.toString())
        .arg(length)
        .arg(QString::fromLatin1(signature))
        .toUtf8();
}

inline QByteArray feed(const QByteArray& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/"
           "sparkle\"><channel><title>Framlet</title>" +
           items + "</channel></rss>\n";
}

}  // namespace framlet::test
