#include "TestImages.h"

#include <QFile>
#include <QPainter>

namespace framlet::test {

QImage drawScreenshot(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 242));
    QPainter painter(&image);
    const int bar = std::max(8, size.height() / 20);
    painter.fillRect(0, 0, size.width(), bar, QColor(48, 52, 60));
    painter.setPen(Qt::black);
    for (int y = bar * 2; y < size.height() - bar; y += bar) {
        painter.drawText(QRect(bar, y, size.width() - 2 * bar, bar), "Invoice total");
    }
    painter.setBrush(QColor(30, 120, 220));
    painter.drawRoundedRect(
        QRect(size.width() / 2, size.height() / 2, size.width() / 4, size.height() / 6), 6, 6);
    return image;
}

bool writeScreenshot(const QString& path, QSize size, const char* format) {
    return drawScreenshot(size).save(path, format);
}

namespace {

void appendBigEndian(QByteArray& bytes, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.append(char((value >> shift) & 0xff));
    }
}

// The CRC-32 of PNG chunks (ISO 3309), bit by bit: a header is only a few bytes.
quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return crc ^ 0xffffffffu;
}

}  // namespace

QByteArray pngHeader(quint32 width, quint32 height) {
    QByteArray chunk("IHDR");
    appendBigEndian(chunk, width);
    appendBigEndian(chunk, height);
    chunk.append(QByteArray::fromHex("0802000000"));  // 8-bit RGB, no interlace
    QByteArray png("\x89PNG\r\n\x1a\n");
    appendBigEndian(png, 13);
    png.append(chunk);
    appendBigEndian(png, crc32(chunk));
    return png;
}

}  // namespace framlet::test
