// framlet-demo-tool screenshots DIR COUNT [--first N]   writes COUNT screenshot-like images
// framlet-demo-tool grab FILE [X Y W H ZOOM]            saves a picture of the screen or a region
// framlet-demo-tool update-key                           prints a new signing key pair (base64)
// framlet-demo-tool update-feed DIR BASE-URL VERSION [SECRET]
//                                                        writes an update feed and its download,
//                                                        signed with SECRET or a throwaway key
// framlet-demo-tool serve DIR PORT                       serves DIR on 127.0.0.1:PORT over HTTP
#include <sodium.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QPixmap>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstdio>

#include "ScreenshotCorpus.h"

namespace {

// A word of at least seven letters that occurs in exactly one of the texts, for a search that
// finds one screenshot.
QString uniqueWord(const QList<framlet::bench::CorpusImage>& corpus) {
    QMap<QString, int> images;
    for (const auto& image : corpus) {
        for (const QString& word : framlet::bench::wordsOf(image.knownText)) {
            images[word] += 1;
        }
    }
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        if (it.value() == 1 && it.key().size() >= 7 && !it.key().front().isDigit()) {
            return it.key();
        }
    }
    return {};
}

int writeScreenshots(const QString& folder, int count, int first) {
    QTemporaryDir scratch;
    const auto corpus =
        framlet::bench::CorpusGenerator::generateScreens(scratch.path(), count, 1, 5000 + first);
    if (corpus.size() != count || !QDir().mkpath(folder)) {
        return 1;
    }
    // Named the way screenshot tools name them, a minute apart, oldest first.
    const QDateTime start = QDateTime::currentDateTime().addSecs(-60 * (first + count));
    for (int i = 0; i < count; ++i) {
        const QString source = corpus.at(i).imagePath;
        const QString stamp =
            start.addSecs(60 * (first + i)).toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
        const QString name =
            QStringLiteral("Screenshot from %1.%2").arg(stamp, QFileInfo(source).suffix());
        if (!QFile::copy(source, QDir(folder).filePath(name))) {
            return 1;
        }
    }
    std::printf("unique-word: %s\n", qPrintable(uniqueWord(corpus)));
    return 0;
}

// The whole screen, or a region of it enlarged (the tray icon is 16 pixels wide).
int grab(const QString& file, const QStringList& region) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return 1;
    }
    if (region.size() != 5) {
        return screen->grabWindow(0).save(file) ? 0 : 1;
    }
    const QPixmap part = screen->grabWindow(0, region[0].toInt(), region[1].toInt(),
                                            region[2].toInt(), region[3].toInt());
    const int zoom = std::max(1, region[4].toInt());
    return part.scaled(part.size() * zoom, Qt::KeepAspectRatio, Qt::FastTransformation).save(file)
               ? 0
               : 1;
}

struct KeyPair {
    QByteArray publicKey;
    QByteArray secretKey;
};

KeyPair newKeyPair() {
    KeyPair pair{QByteArray(crypto_sign_PUBLICKEYBYTES, 0),
                 QByteArray(crypto_sign_SECRETKEYBYTES, 0)};
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(pair.publicKey.data()),
                        reinterpret_cast<unsigned char*>(pair.secretKey.data()));
    return pair;
}

int printUpdateKey() {
    const KeyPair pair = newKeyPair();
    std::printf("public: %s\nsecret: %s\n", pair.publicKey.toBase64().constData(),
                pair.secretKey.toBase64().constData());
    return 0;
}

// A feed offering VERSION with a small archive as its download, with release notes.
int writeUpdateFeed(const QString& folder, const QString& base, const QString& version,
                    const QString& secretBase64) {
    QByteArray secret = QByteArray::fromBase64(secretBase64.toLatin1());
    if (secret.size() != crypto_sign_SECRETKEYBYTES) {
        secret = newKeyPair().secretKey;  // the download will be refused, as a forged one must
    }
    const QString name = QStringLiteral("Framlet-%1.tar.gz").arg(version);
    const QByteArray archive = QByteArray("Framlet ").append(version.toUtf8()).repeated(4096);
    QByteArray signature(crypto_sign_BYTES, 0);
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(archive.constData()),
                         static_cast<unsigned long long>(archive.size()),
                         reinterpret_cast<const unsigned char*>(secret.constData()));
    const QString feed =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
            "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
            "<title>Framlet</title><item><title>Framlet %1</title><sparkle:version>%1"
            "</sparkle:version><sparkle:shortVersionString>%1</sparkle:shortVersionString>"
            "<description><![CDATA[<h3>What's new</h3><ul><li>Search finds words in sidebars and "
            "menu bars.</li><li>The shelf opens faster with hundreds of screenshots.</li>"
            "<li>Drag several screenshots at once.</li></ul><img src=\"%2/tracker.png\">"
            "<script>alert('no')</script>]]></description><enclosure url=\"%2/%3\" length=\"%4\" "
            "type=\"application/gzip\" sparkle:edSignature=\"%5\"/></item></channel></rss>\n")
            .arg(version, base, name)
            .arg(archive.size())
            .arg(QString::fromLatin1(signature.toBase64()));
    QFile feedFile(QDir(folder).filePath(QStringLiteral("feed.xml")));
    QFile archiveFile(QDir(folder).filePath(name));
    const bool written = QDir().mkpath(folder) && feedFile.open(QIODevice::WriteOnly) &&
                         feedFile.write(feed.toUtf8()) > 0 &&
                         archiveFile.open(QIODevice::WriteOnly) &&
                         archiveFile.write(archive) == archive.size();
    return written ? 0 : 1;
}

// Answers each GET with the file of that name in the folder, until killed.
int serve(const QString& folder, quint16 port) {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, port)) {
        return 1;
    }
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, folder] {
                const QByteArray request = socket->readAll();
                const QString name =
                    QFileInfo(QString::fromUtf8(request.split(' ').value(1))).fileName();
                QFile file(QDir(folder).filePath(name));
                const bool found = !name.isEmpty() && file.open(QIODevice::ReadOnly);
                const QByteArray body = found ? file.readAll() : QByteArray("not found");
                socket->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                              QByteArray("Content-Length: ") + QByteArray::number(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    std::printf("serving %s on port %u\n", qPrintable(folder), server.serverPort());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    const bool grabbing = argc >= 2 && QByteArray(argv[1]) == "grab";
    if (!grabbing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // drawing files needs no display
    }
    QGuiApplication application(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (grabbing && args.size() >= 3) {
        return grab(args[2], args.mid(3));
    }
    if (sodium_init() < 0) {
        return 1;
    }
    if (args.size() == 2 && args[1] == u"update-key") {
        return printUpdateKey();
    }
    if (args.size() >= 5 && args[1] == u"update-feed") {
        return writeUpdateFeed(args[2], args[3], args[4], args.value(5));
    }
    if (args.size() == 4 && args[1] == u"serve") {
        return serve(args[2], static_cast<quint16>(args[3].toUInt()));
    }
    if (args.size() >= 4 && args[1] == u"screenshots") {
        const int first = args.size() == 6 && args[4] == u"--first" ? args[5].toInt() : 0;
        return writeScreenshots(args[2], args[3].toInt(), first);
    }
    std::fprintf(
        stderr,
        "usage: framlet-demo-tool screenshots DIR COUNT [--first N] | grab FILE [X Y W H ZOOM] | "
        "update-key | update-feed DIR BASE-URL VERSION [SECRET] | serve DIR PORT\n");
    return 2;
}
