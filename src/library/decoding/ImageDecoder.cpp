#include "library/decoding/ImageDecoder.h"

#include <libheif/heif.h>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "library/decoding/DecodeBudget.h"
#include "library/decoding/ImageTruncation.h"
#include "platform/RegularFile.h"

namespace framlet {
namespace {

using Failure = ImageDecoder::Failure;
using Result = ImageDecoder::Result;

enum class Format { unknown, png, jpeg, gif, bmp, tiff, heic };

// Enough of the file's start to tell every supported format apart.
constexpr qint64 kHeadLength = 32;

Result failed(Failure failure, const QString& message) {
    return Result{QImage(), failure, message};
}

Format sniff(const QByteArray& head) {
    if (head.startsWith("\x89PNG\r\n\x1a\n")) {
        return Format::png;
    }
    if (head.startsWith("\xff\xd8\xff")) {
        return Format::jpeg;
    }
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) {
        return Format::gif;
    }
    if (head.startsWith("BM")) {
        return Format::bmp;
    }
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4))) {
        return Format::tiff;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(head.constData());
    if (heif_check_filetype(bytes, int(head.size())) == heif_filetype_yes_supported) {
        return Format::heic;
    }
    return Format::unknown;
}

QByteArray readerFormat(Format format) {
    switch (format) {
        case Format::png:
            return "png";
        case Format::jpeg:
            return "jpeg";
        case Format::gif:
            return "gif";
        case Format::bmp:
            return "bmp";
        case Format::tiff:
            return "tiff";
        case Format::heic:
        case Format::unknown:
            break;
    }
    return {};
}

quint32 littleEndian32(const QByteArray& bytes, int offset) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | quint8(bytes.at(offset + i));
    }
    return value;
}

// Qt's readers hand back a partial image for a file cut short (the rest painted grey), so a file
// still being written would look like a finished screenshot. TIFF and HEIC readers fail on
// truncation by themselves.
bool endsEarly(Format format, QFile& file, const QByteArray& head) {
    if (format == Format::bmp) {
        const quint32 declared = head.size() >= 6 ? littleEndian32(head, 2) : 0;
        return declared != 0 && file.size() < qint64(declared);  // some writers leave it 0
    }
    return ImageTruncation::endsEarly(readerFormat(format), file);
}

quint32 bigEndian32(const QByteArray& bytes, int offset) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        value = (value << 8) | quint8(bytes.at(offset + i));
    }
    return value;
}

// A PNG's size straight from its IHDR chunk: libpng reads on to the first data chunk before it
// reports a size, and a bomb need not have one.
QSize pngHeaderSize(const QByteArray& head) {
    if (head.size() < 24 || head.mid(12, 4) != "IHDR") {
        return QSize();
    }
    const quint32 width = bigEndian32(head, 16);
    const quint32 height = bigEndian32(head, 20);
    constexpr quint32 clamp = quint32(ImageDecoder::maxSide) + 1;  // beyond the limit either way
    return QSize(int(std::min(width, clamp)), int(std::min(height, clamp)));
}

bool exceedsBounds(QSize size) {
    return size.width() > ImageDecoder::maxSide || size.height() > ImageDecoder::maxSide ||
           qint64(size.width()) * size.height() > ImageDecoder::maxPixels;
}

QString sizeText(QSize size) {
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

// The size an image of the given size has once it fits maxDimension; never larger.
QSize fitted(QSize size, int maxDimension) {
    const double scale =
        std::min({1.0, double(maxDimension) / size.width(), double(maxDimension) / size.height()});
    return QSize(std::max(1, qRound(size.width() * scale)),
                 std::max(1, qRound(size.height() * scale)));
}

// How large a decoded image may be: at most maxSide on its longest side and at most maxPixels in
// all; 0 leaves that bound out. Images are never enlarged. With inkOnly, the uniform rows and
// columns at the image's edges are cut off first: they cannot hold text.
struct Fit {
    int maxSide = 0;
    qint64 maxPixels = 0;
    bool inkOnly = false;

    bool bounded() const { return maxSide > 0 || maxPixels > 0; }
    QSize of(QSize size) const {
        double scale = 1.0;
        if (maxSide > 0) {
            scale =
                std::min({scale, double(maxSide) / size.width(), double(maxSide) / size.height()});
        }
        if (maxPixels > 0) {
            scale = std::min(scale,
                             std::sqrt(double(maxPixels) / (double(size.width()) * size.height())));
        }
        return QSize(std::max(1, qRound(size.width() * scale)),
                     std::max(1, qRound(size.height() * scale)));
    }
};

qint64 pixelBytes(QSize size) {
    return qint64(size.width()) * size.height() * 4;
}

// Whether pixels (x, y) and (u, v) hold the same bytes.
bool samePixel(const QImage& image, int x, int y, int u, int v) {
    const int bytes = image.depth() / 8;
    return std::memcmp(image.constScanLine(y) + x * bytes, image.constScanLine(v) + u * bytes,
                       size_t(bytes)) == 0;
}

bool uniformRow(const QImage& image, int y, int left, int right) {
    for (int x = left + 1; x <= right; ++x) {
        if (!samePixel(image, x, y, left, y)) {
            return false;
        }
    }
    return true;
}

bool uniformColumn(const QImage& image, int x, int top, int bottom) {
    for (int y = top + 1; y <= bottom; ++y) {
        if (!samePixel(image, x, y, x, top)) {
            return false;
        }
    }
    return true;
}

// The image without the rows and columns of one colour at its edges: a canvas larger than what
// was drawn on it, or the margins of a page. Empty when the whole image is of one colour.
// Images of less than a byte per pixel are kept whole.
QRect inkedArea(const QImage& image) {
    if (image.depth() < 8) {
        return image.rect();
    }
    int top = 0;
    int bottom = image.height() - 1;
    const int lastColumn = image.width() - 1;
    while (top <= bottom && uniformRow(image, top, 0, lastColumn)) {
        ++top;
    }
    while (bottom > top && uniformRow(image, bottom, 0, lastColumn)) {
        --bottom;
    }
    if (top > bottom) {
        return QRect();
    }
    int left = 0;
    int right = lastColumn;
    while (left < right && uniformColumn(image, left, top, bottom)) {
        ++left;
    }
    while (right > left && uniformColumn(image, right, top, bottom)) {
        --right;
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The pixels of area, shared with image (no copy): valid while image lives.
QImage viewOf(const QImage& image, const QRect& area) {
    if (area == image.rect()) {
        return image;
    }
    const uchar* first = image.constScanLine(area.top()) + area.left() * (image.depth() / 8);
    QImage view(first, area.width(), area.height(), image.bytesPerLine(), image.format());
    view.setColorTable(image.colorTable());
    return view;
}

QImage fittedCopy(const QImage& image, Fit fit) {
    if (!fit.bounded() || image.isNull()) {
        return image;
    }
    const QRect area = fit.inkOnly ? inkedArea(image) : image.rect();
    // The recogniser finds text touching the image's edge less surely: a margin stays.
    constexpr int margin = 32;
    if (area.isEmpty()) {
        return QImage();  // nothing there to read
    }
    const QImage view =
        viewOf(image, area.adjusted(-margin, -margin, margin, margin).intersected(image.rect()));
    const QSize target = fit.of(view.size());
    if (target != view.size()) {
        return view.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return view.size() == image.size() ? image : view.copy();  // outlives the full image
}

Result decodeWithQt(QFile& file, Format format, Fit fit, DecodeBudget& budget) {
    file.seek(0);
    QImageReader reader(&file, readerFormat(format));
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // A second bound behind the header check, for readers whose header understates the image.
    reader.setAllocationLimit(int(ImageDecoder::maxPixels * 4 / (1024 * 1024)) + 1);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        return failed(Failure::corrupt, QStringLiteral("no image size: ") + reader.errorString());
    }
    if (exceedsBounds(size)) {
        return failed(Failure::tooLarge, QStringLiteral("image of ") + sizeText(size));
    }
    const QSize target = fit.of(size);
    qint64 bytes = pixelBytes(size) + (target != size ? pixelBytes(target) : 0);
    if (fit.bounded() && format == Format::jpeg) {
        // libjpeg scales while decoding (DCT scaling), so the full image is never built; the
        // reduced one is at most twice the target on each side.
        reader.setScaledSize(target);
        bytes = std::min(bytes, 4 * pixelBytes(target));
    }
    // Held until the full image is gone: only the fitted copy leaves this function.
    const DecodeBudget::Lease lease = budget.acquire(bytes);
    QImage image;
    if (!reader.read(&image)) {
        return failed(Failure::corrupt, reader.errorString());
    }
    image = fittedCopy(image, fit);
    return Result{image, Failure::none, QString()};
}

// libheif reads plugins and codecs once per process; the reference is never dropped.
void initialiseHeif() {
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)initialised;
}

template <auto release>
struct HeifDeleter {
    template <typename T>
    void operator()(T* object) const {
        release(object);
    }
};
using HeifContext = std::unique_ptr<heif_context, HeifDeleter<&heif_context_free>>;
using HeifHandle = std::unique_ptr<heif_image_handle, HeifDeleter<&heif_image_handle_release>>;
using HeifImage = std::unique_ptr<heif_image, HeifDeleter<&heif_image_release>>;

QSize handleSize(const heif_image_handle* handle) {
    return QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

int longestSide(QSize size) {
    return std::max(size.width(), size.height());
}

// The smallest thumbnail stored in the file that still covers maxDimension, if any.
HeifHandle storedThumbnail(const heif_image_handle* primary, int maxDimension) {
    if (maxDimension <= 0) {
        return nullptr;
    }
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0) {
        return nullptr;
    }
    const int needed = std::min(maxDimension, longestSide(handleSize(primary)));
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    HeifHandle best;
    for (const heif_item_id id : ids) {
        heif_image_handle* candidate = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &candidate).code != heif_error_Ok) {
            continue;
        }
        HeifHandle owned(candidate);
        const int longest = longestSide(handleSize(candidate));
        if (longest >= needed && (!best || longest < longestSide(handleSize(best.get())))) {
            best = std::move(owned);
        }
    }
    return best;
}

// The decoded pixels themselves, not a copy: the image owns the libheif image from here on.
QImage wrapPixels(HeifImage decoded, bool alpha) {
    const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* pixels =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (!pixels || width <= 0 || height <= 0) {
        return QImage();
    }
    heif_image* owned = decoded.release();
    return QImage(
        pixels, width, height, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
        [](void* image) { heif_image_release(static_cast<heif_image*>(image)); }, owned);
}

// From the descriptor already checked, never from the name again: the name may point elsewhere by
// now. HEIC files are small next to their pixels, so their bytes are read whole.
Result decodeHeif(QFile& file, Fit fit, DecodeBudget& budget) {
    initialiseHeif();
    file.seek(0);
    const QByteArray bytes = file.readAll();
    HeifContext context(heif_context_alloc());
    heif_context_set_maximum_image_size_limit(context.get(), ImageDecoder::maxSide);
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                                  size_t(bytes.size()), nullptr);
    if (error.code != heif_error_Ok) {
        const bool tooLarge = error.subcode == heif_suberror_Security_limit_exceeded;
        return failed(tooLarge ? Failure::tooLarge : Failure::corrupt,
                      QString::fromUtf8(error.message));
    }
    heif_image_handle* primary = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &primary);
    if (error.code != heif_error_Ok) {
        return failed(Failure::corrupt, QString::fromUtf8(error.message));
    }
    HeifHandle handle(primary);
    if (exceedsBounds(handleSize(primary))) {
        return failed(Failure::tooLarge,
                      QStringLiteral("image of ") + sizeText(handleSize(primary)));
    }
    HeifHandle thumbnail = storedThumbnail(primary, fit.maxSide);
    const heif_image_handle* source = thumbnail ? thumbnail.get() : primary;
    const QSize size = handleSize(source);
    const DecodeBudget::Lease lease =
        budget.acquire(pixelBytes(size) + (fit.of(size) != size ? pixelBytes(fit.of(size)) : 0));
    const bool alpha = heif_image_handle_has_alpha_channel(source) != 0;
    heif_image* decoded = nullptr;
    error = heif_decode_image(source, &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              nullptr);
    if (error.code != heif_error_Ok) {
        return failed(Failure::corrupt, QString::fromUtf8(error.message));
    }
    QImage image = wrapPixels(HeifImage(decoded), alpha);
    if (image.isNull()) {
        return failed(Failure::corrupt, QStringLiteral("no pixels in the decoded image"));
    }
    image = fittedCopy(image, fit);
    return Result{image, Failure::none, QString()};
}

Result openFailure(const RegularFile::Opened& opened) {
    switch (opened.status) {
        case RegularFile::Status::missing:
            return failed(Failure::missing, opened.error);
        case RegularFile::Status::notRegular:
        case RegularFile::Status::tooLarge:
            return failed(Failure::unsupported, opened.error);
        case RegularFile::Status::unreadable:
        case RegularFile::Status::opened:
            break;
    }
    return failed(Failure::unreadable, opened.error);
}

Result decodeFile(const QString& path, Fit fit, DecodeBudget& budget) {
    QFile file;
    const RegularFile::Opened opened = RegularFile::open(path, RegularFile::Links::refuse, file);
    if (!opened.ok()) {
        return openFailure(opened);
    }
    if (file.size() == 0) {
        return failed(Failure::corrupt, QStringLiteral("empty file"));
    }
    const QByteArray head = file.read(kHeadLength);
    const Format format = sniff(head);
    if (format == Format::unknown) {
        // An image name over unknown bytes is a damaged image (or one not written yet).
        return ImageDecoder::hasImageExtension(QFileInfo(path).fileName())
                   ? failed(Failure::corrupt, QStringLiteral("not image data"))
                   : failed(Failure::unsupported, QStringLiteral("not an image file"));
    }
    if (format == Format::png && exceedsBounds(pngHeaderSize(head))) {
        return failed(Failure::tooLarge,
                      QStringLiteral("image of ") + sizeText(pngHeaderSize(head)));
    }
    if (endsEarly(format, file, head)) {
        return failed(Failure::corrupt, QStringLiteral("file ends early"));
    }
    const qint64 sizeBefore = file.size();
    Result result = format == Format::heic ? decodeHeif(file, fit, budget)
                                           : decodeWithQt(file, format, fit, budget);
    // A writer that went on meanwhile may have left the decoder a mix of old and new bytes.
    if (result.ok() && file.size() != sizeBefore) {
        return failed(Failure::corrupt, QStringLiteral("file still being written"));
    }
    return result;
}

}  // namespace

ImageDecoder::Result ImageDecoder::decode(const QString& path) const {
    return decodeFile(path, Fit{}, *m_budget);
}

ImageDecoder::Result ImageDecoder::decodeForRecognition(const QString& path) const {
    Result result = decodeFile(path, Fit{0, recognitionPixels, true}, *m_budget);
    result.image = greyOverWhite(result.image);
    return result;
}

QImage ImageDecoder::greyOverWhite(const QImage& image) {
    if (image.isNull() || !image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_Grayscale8);
    }
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque.convertToFormat(QImage::Format_Grayscale8);
}

ImageDecoder::Result ImageDecoder::decodeThumbnail(const QString& path, int maxDimension) const {
    if (maxDimension <= 0) {
        return failed(Failure::unsupported, QStringLiteral("no room for a thumbnail"));
    }
    return decodeFile(path, Fit{maxDimension, 0}, *m_budget);
}

QImage ImageDecoder::resized(const QImage& image, int maxDimension) {
    if (image.isNull() || maxDimension <= 0) {
        return QImage();
    }
    const QSize target = fitted(image.size(), maxDimension);
    if (target == image.size()) {
        return image;
    }
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool ImageDecoder::hasImageExtension(const QString& fileName) {
    static const QStringList extensions{QStringLiteral("png"),  QStringLiteral("jpg"),
                                        QStringLiteral("jpeg"), QStringLiteral("gif"),
                                        QStringLiteral("tiff"), QStringLiteral("heic"),
                                        QStringLiteral("bmp")};
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && extensions.contains(fileName.mid(dot + 1).toLower());
}

}  // namespace framlet
