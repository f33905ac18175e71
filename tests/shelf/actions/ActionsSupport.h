#pragma once

#include "LogTail.h"

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace framlet::test {

// A folder of test images inside the temporary home.
class ImageFolder {
public:
    ImageFolder();
    ~ImageFolder();

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Writes a PNG of one colour and returns its URL.
    QUrl addImage(const QString& name, QSize size = {40, 30}, QColor color = Qt::red) const;
    // Writes a file that carries an image extension but holds no image.
    QUrl addBroken(const QString& name) const;
    // An animated GIF of two 1 x 1 frames, white then black, 0.1 s each, looping.
    QUrl addAnimation(const QString& name) const;

private:
    QDir m_dir;
};

// What another X client reads from the CLIPBOARD selection for the target; nothing when no one
// owns the selection or the target is not offered.
std::optional<QByteArray> readClipboard(const QString& target);

}  // namespace framlet::test
