#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

#include "library/decoding/FileStamp.h"

namespace framlet {

// The desktop's shared thumbnail folder, as file managers keep it: a thumbnail one of them made
// spares a decode of the whole screenshot, and one made here serves them in turn. A thumbnail
// is named by the MD5 of its file's URI and carries that URI and the file's modification time;
// one whose either differs, or that is damaged, cut short, a link or no regular file, is never
// used (the next one written here replaces it). Failures are recorded in a folder of this
// program's own under fail/, so a file that cannot be read is not decoded again until it
// changes. Nothing is read or written for files inside the folder itself. A folder that cannot
// be written only means thumbnails stay in memory. Safe to call from any thread.
class SharedThumbnails {
public:
    // The standard's size classes: thumbnails at most this many pixels wide and high.
    enum class Size { normal = 128, large = 256, xLarge = 512, xxLarge = 1024 };

    // folder: the thumbnails folder; program: the name of this program's failure folder.
    SharedThumbnails(QString folder, QString program);
    // The user's folder ($XDG_CACHE_HOME/thumbnails), failures under framlet-<version>.
    static SharedThumbnails forThisUser();

    // The smallest class whose thumbnails cover devicePixels; none beyond the largest.
    static std::optional<Size> sizeFor(int devicePixels);
    // The file's URI as the standard spells it: file:// and the path's bytes, every byte but
    // letters, digits, '/' and -_.!~*'():@&=+$, as %XX.
    static QByteArray uriOf(const QByteArray& localPath);
    static QByteArray uriOf(const QString& path);
    // The thumbnail's file name for that URI: its MD5 in lower-case hex and ".png".
    static QString fileNameOf(const QByteArray& uri);

    // A valid thumbnail of the file as stamped, of this size class or a larger one; null if none.
    QImage find(const QString& path, const FileStamp& stamp, Size size) const;
    // Writes the thumbnail into the size class, replacing what was there; false when it was not
    // written (a full or read-only disk, or a file inside the folder).
    bool save(const QString& path, const FileStamp& stamp, Size size, const QImage& image) const;
    // Whether this program failed on the file as stamped before; and recording that it did.
    bool failedBefore(const QString& path, const FileStamp& stamp) const;
    bool recordFailure(const QString& path, const FileStamp& stamp) const;

    QString folder() const { return m_folder; }
    // Where the file's thumbnail of that size class is.
    QString pathOf(const QString& path, Size size) const;

private:
    QString failurePathOf(const QString& path) const;
    bool shared(const QString& path) const;
    QImage read(const QString& thumbnail, const QByteArray& uri, const FileStamp& stamp,
                int maxSide) const;
    bool write(const QString& thumbnail, const QByteArray& uri, const FileStamp& stamp,
               const QImage& image) const;

    const QString m_folder;
    const QString m_failures;
};

}  // namespace framlet
