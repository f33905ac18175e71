#pragma once

#include "FileBytes.h"  // put() and contents() for the files the tests write

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace framlet::test {

// Screenshot-like images drawn for the tests: a window with a title bar, a few shapes and text.
QImage drawScreenshot(QSize size);
// Draws one and saves it; format as QImageWriter names it ("png", "jpeg", ...).
bool writeScreenshot(const QString& path, QSize size, const char* format);
// A valid PNG signature and IHDR chunk (with its CRC) claiming the given size, and nothing else.
QByteArray pngHeader(quint32 width, quint32 height);

}  // namespace framlet::test
