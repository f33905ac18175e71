#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace framlet {

namespace {

// The file list as GNOME-style file managers (Nautilus, Nemo, Caja, Thunar) paste it: the
// operation on the first line, then one URI a line.
QByteArray gnomeCopiedFiles(const QList<QUrl>& files) {
    QByteArray data = "copy";
    for (const QUrl& url : files) {
        data += '\n' + url.toEncoded();
    }
    return data;
}

}  // namespace

Clipboard& Clipboard::shared() {
    static Clipboard instance;
    return instance;
}

void Clipboard::setImages(const QList<QImage>& images, const QList<QUrl>& files) {
    if (images.isEmpty()) {
        clear();
        return;
    }
    auto* data = new QMimeData;
    data->setImageData(images.first());
    if (files.size() >= 2) {
        data->setUrls(files);
        data->setData(QStringLiteral("x-special/gnome-copied-files"), gnomeCopiedFiles(files));
    }
    QGuiApplication::clipboard()->setMimeData(data);
}

void Clipboard::setText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

void Clipboard::clear() {
    QGuiApplication::clipboard()->clear();
}

}  // namespace framlet
