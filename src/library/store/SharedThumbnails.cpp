#include "library/store/SharedThumbnails.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QList>
#include <QPair>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>

#include "library/decoding/ImageTruncation.h"
#include "platform/DebugLog.h"
#include "platform/RegularFile.h"

namespace framlet {
namespace {

using Size = SharedThumbnails::Size;
using Texts = QList<QPair<QByteArray, QByteArray>>;

// A 1024 px thumbnail as uncompressed as PNG gets, with room to spare; anything larger is not one.
constexpr qint64 kMaxThumbnailBytes = 8LL * 1024 * 1024;
constexpr Size kSizes[] = {Size::normal, Size::large, Size::xLarge, Size::xxLarge};

QString folderOf(Size size) {
    switch (size) {
        case Size::normal:
            return QStringLiteral("normal");
        case Size::large:
            return QStringLiteral("large");
        case Size::xLarge:
            return QStringLiteral("x-large");
        case Size::xxLarge:
            break;
    }
    return QStringLiteral("xx-large");
}

// Whole seconds, rounded down also before 1970, as the modification time's integer part.
qint64 mtimeSeconds(const FileStamp& stamp) {
    constexpr qint64 second = 1'000'000'000;
    return stamp.modifiedNs >= 0 ? stamp.modifiedNs / second
                                 : -((-stamp.modifiedNs + second - 1) / second);
}

bool sameMTime(const QString& text, const FileStamp& stamp) {
    bool whole = false;
    const qint64 seconds = text.toLongLong(&whole);
    if (whole) {
        return seconds == mtimeSeconds(stamp);
    }
    bool number = false;  // some writers add a fraction
    const double value = text.toDouble(&number);
    return number && std::isfinite(value) && qint64(std::floor(value)) == mtimeSeconds(stamp);
}

bool unreservedInPath(char c) {
    static constexpr std::string_view kept = "/-_.!~*'():@&=+$,";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kept.find(c) != std::string_view::npos;
}

// PNG chunks carry a CRC-32 (ISO 3309) of their type and data; only a few short ones are made.
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

void appendBigEndian(QByteArray& bytes, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.append(char((value >> shift) & 0xff));
    }
}

// Plain tEXt chunks right after the header, where every reader looks: Qt would compress longer
// values into zTXt, which some file managers' quick checks skip.
QByteArray pngWithTexts(const QImage& image, const Texts& texts) {
    // Pixels only: a screenshot's own text chunks must not come along.
    const QImage bare(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                      image.format());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(bare)) {
        return {};
    }
    QByteArray chunks;
    for (const auto& [key, value] : texts) {
        const QByteArray chunk = "tEXt" + key + '\0' + value;
        appendBigEndian(chunks, quint32(chunk.size() - 4));
        chunks.append(chunk);
        appendBigEndian(chunks, crc32(chunk));
    }
    constexpr int afterHeader =
        8 + 4 + 4 + 13 + 4;  // signature, then IHDR's length, type, data, CRC
    return png.insert(afterHeader, chunks);
}

// Every missing folder of the path, made readable by the user alone.
bool makeFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(QDir::cleanPath(folder));
    for (qsizetype end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path.at(end) != '/') {
            continue;
        }
        if (::mkdir(path.left(end).constData(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += written;
    }
    return true;
}

// Into a new file of the user's alone beside the target, then renamed over it: a reader sees the
// old file or the new one, and a link or FIFO at the name is replaced, never followed.
bool replaceFile(const QString& target, const QByteArray& bytes) {
    QByteArray temporary = QFile::encodeName(target) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (written && closed &&
        ::rename(temporary.constData(), QFile::encodeName(target).constData()) == 0) {
        return true;
    }
    const int error = errno;
    ::unlink(temporary.constData());
    errno = error;
    return false;
}

QString canonicalOr(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

}  // namespace

SharedThumbnails::SharedThumbnails(QString folder, QString program)
    : m_folder(QDir::cleanPath(folder)), m_failures(m_folder + QStringLiteral("/fail/") + program) {
}

SharedThumbnails SharedThumbnails::forThisUser() {
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache)) {
        cache = QDir::homePath() + QStringLiteral("/.cache");
    }
    return SharedThumbnails(cache + QStringLiteral("/thumbnails"),
                            QStringLiteral("framlet-" FRAMLET_VERSION));
}

std::optional<Size> SharedThumbnails::sizeFor(int devicePixels) {
    for (const Size size : kSizes) {
        if (int(size) >= devicePixels) {
            return size;
        }
    }
    return std::nullopt;
}

QByteArray SharedThumbnails::uriOf(const QString& path) {
    return uriOf(QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath())));
}

QByteArray SharedThumbnails::uriOf(const QByteArray& localPath) {
    QByteArray uri = "file://";
    for (const char c : localPath) {
        if (unreservedInPath(c)) {
            uri.append(c);
        } else {
            uri.append('%').append(
                QByteArray::number(quint8(c), 16).rightJustified(2, '0').toUpper());
        }
    }
    return uri;
}

QString SharedThumbnails::fileNameOf(const QByteArray& uri) {
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

QString SharedThumbnails::pathOf(const QString& path, Size size) const {
    return m_folder + u'/' + folderOf(size) + u'/' + fileNameOf(uriOf(path));
}

QString SharedThumbnails::failurePathOf(const QString& path) const {
    return m_failures + u'/' + fileNameOf(uriOf(path));
}

// A thumbnail of a thumbnail would be written beside it and thumbnailed in turn.
bool SharedThumbnails::shared(const QString& path) const {
    const QString root = canonicalOr(m_folder);
    const QString folder = canonicalOr(QFileInfo(path).absolutePath());
    return folder != root && !folder.startsWith(root + u'/');
}

QImage SharedThumbnails::find(const QString& path, const FileStamp& stamp, Size size) const {
    if (!stamp.known() || !shared(path)) {
        return {};
    }
    const QByteArray uri = uriOf(path);
    for (const Size candidate : kSizes) {
        if (int(candidate) < int(size)) {
            continue;
        }
        QImage image = read(pathOf(path, candidate), uri, stamp, int(candidate));
        if (!image.isNull()) {
            return image;
        }
    }
    return {};
}

QImage SharedThumbnails::read(const QString& thumbnail, const QByteArray& uri,
                              const FileStamp& stamp, int maxSide) const {
    QFile file;
    // Refusing links and anything but a regular file; never waiting on a FIFO.
    if (!RegularFile::open(thumbnail, RegularFile::Links::refuse, file, kMaxThumbnailBytes).ok() ||
        ImageTruncation::endsEarly("png", file) || !file.seek(0)) {
        return {};
    }
    QImageReader reader(&file, "png");
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > maxSide || size.height() > maxSide) {
        return {};
    }
    QImage image;
    if (!reader.read(&image) || image.text(QStringLiteral("Thumb::URI")).toUtf8() != uri ||
        !sameMTime(image.text(QStringLiteral("Thumb::MTime")), stamp)) {
        return {};
    }
    const QString fileSize = image.text(QStringLiteral("Thumb::Size"));  // optional
    if (!fileSize.isEmpty() && fileSize != QString::number(stamp.size)) {
        return {};
    }
    return image;
}

bool SharedThumbnails::save(const QString& path, const FileStamp& stamp, Size size,
                            const QImage& image) const {
    if (!stamp.known() || !shared(path) || image.isNull()) {
        return false;
    }
    return write(pathOf(path, size), uriOf(path), stamp, image);
}

bool SharedThumbnails::failedBefore(const QString& path, const FileStamp& stamp) const {
    return stamp.known() && shared(path) &&
           !read(failurePathOf(path), uriOf(path), stamp, int(Size::xxLarge)).isNull();
}

bool SharedThumbnails::recordFailure(const QString& path, const FileStamp& stamp) const {
    if (!stamp.known() || !shared(path)) {
        return false;
    }
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    return write(failurePathOf(path), uriOf(path), stamp, mark);
}

bool SharedThumbnails::write(const QString& thumbnail, const QByteArray& uri,
                             const FileStamp& stamp, const QImage& image) const {
    const QByteArray png =
        pngWithTexts(image, {{"Thumb::URI", uri},
                             {"Thumb::MTime", QByteArray::number(mtimeSeconds(stamp))},
                             {"Thumb::Size", QByteArray::number(stamp.size)},
                             {"Software", "Framlet"}});
    if (!png.isEmpty() && makeFolder(QFileInfo(thumbnail).absolutePath()) &&
        replaceFile(thumbnail, png)) {
        return true;
    }
    // Once: the shelf goes on with thumbnails in memory, and a full disk would repeat it often.
    static std::atomic<bool> logged = false;
    if (!logged.exchange(true)) {
        DebugLog::log(QStringLiteral("thumbnail: cannot write to the shared thumbnail folder ") +
                      DebugLog::escaped(m_folder) + QStringLiteral(": ") +
                      QString::fromLocal8Bit(std::strerror(errno)) +
                      QStringLiteral("; thumbnails stay in memory"));
    }
    return false;
}

}  // namespace framlet
