#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

namespace framlet::test {

// Saves a capture as screenshot tools do: under a hidden name first, then renamed into place, so
// that a watcher never reads half a file.
inline bool saveCapture(const QImage& image, const QString& path) {
    const QString hidden = QFileInfo(path).dir().filePath(QStringLiteral(".incoming.png"));
    return image.save(hidden, "PNG") && QFile::rename(hidden, path);
}

// A capture of one colour.
inline bool writeCapture(const QString& path) {
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return saveCapture(image, path);
}

// A capture of one line of large black text on white, which text recognition reads.
inline bool writeTextCapture(const QString& path, const QString& text) {
    QImage image(900, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(64);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();
    return saveCapture(image, path);
}

}  // namespace framlet::test
