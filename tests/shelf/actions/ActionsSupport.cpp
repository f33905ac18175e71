#include "ActionsSupport.h"

#include "FileBytes.h"

#include <QImage>
#include <QProcess>
#include <QTest>
#include <QUuid>

namespace framlet::test {

namespace {

// Header, logical screen 1 x 1 with a two-colour table (white, black), the loop extension.
const char gifHead[] =
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
    "\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00";
// One frame: 0.1 s delay, then a 1 x 1 image whose LZW data names colour 0 (first) or 1.
const char gifWhite[] =
    "\x21\xf9\x04\x00\x0a\x00\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00"
    "\x02\x02\x44\x01\x00";
const char gifBlack[] =
    "\x21\xf9\x04\x00\x0a\x00\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00"
    "\x02\x02\x4c\x01\x00";

}  // namespace

ImageFolder::ImageFolder()
    : m_dir(QDir::homePath() + QStringLiteral("/Pictures/") +
            QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    m_dir.mkpath(QStringLiteral("."));
}

ImageFolder::~ImageFolder() {
    m_dir.removeRecursively();
}

QUrl ImageFolder::addImage(const QString& name, QSize size, QColor color) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    image.save(path(name), "PNG");
    return QUrl::fromLocalFile(path(name));
}

QUrl ImageFolder::addBroken(const QString& name) const {
    put(path(name), "not an image");
    return QUrl::fromLocalFile(path(name));
}

QUrl ImageFolder::addAnimation(const QString& name) const {
    put(path(name), QByteArray(gifHead, sizeof gifHead - 1) +
                        QByteArray(gifWhite, sizeof gifWhite - 1) +
                        QByteArray(gifBlack, sizeof gifBlack - 1) + ';');
    return QUrl::fromLocalFile(path(name));
}

std::optional<QByteArray> readClipboard(const QString& target) {
    // The clipboard's owner is this process: the event loop must run while xclip asks.
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-o"), QStringLiteral("-t"), target});
    if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000)) {
        xclip.kill();
        xclip.waitForFinished();
        return std::nullopt;
    }
    if (xclip.exitStatus() != QProcess::NormalExit || xclip.exitCode() != 0) {
        return std::nullopt;
    }
    return xclip.readAllStandardOutput();
}

}  // namespace framlet::test
