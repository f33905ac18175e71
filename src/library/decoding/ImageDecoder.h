#pragma once

#include <QImage>
#include <QString>

namespace framlet {

class DecodeBudget;

// The one way the program turns an image file into pixels: thumbnails, text recognition, and the
// shelf's preview, drag and copy. Qt's readers handle png, jpg, jpeg, gif, bmp and tiff; libheif
// handles heic. Every decode is bounded, so a decompression bomb fails cleanly instead of
// exhausting memory, and every decode counts against the budget it was given (the process's one),
// so images arriving together cannot multiply the peak. Copies share the budget, which outlives
// them. Safe to call from any thread.
class ImageDecoder {
public:
    enum class Failure {
        none,
        missing,      // no file at the path (any more)
        unreadable,   // the file exists but cannot be opened
        unsupported,  // not one of the image types above
        tooLarge,     // dimensions beyond maxPixels or maxSide
        corrupt,      // undecodable: damaged, or still being written
    };

    struct Result {
        QImage image;
        Failure failure = Failure::none;
        QString message;  // for log lines; empty on success
        bool ok() const { return failure == Failure::none; }
    };

    static constexpr qint64 maxPixels = 64LL * 1024 * 1024;  // 256 MB as 32-bit pixels
    static constexpr int maxSide = 32768;

    explicit ImageDecoder(DecodeBudget& budget) : m_budget(&budget) {}

    // The whole image at full size.
    Result decode(const QString& path) const;
    // The image scaled to at most maxDimension on its longest side, never enlarged; decoded at
    // reduced size where the format allows it.
    Result decodeThumbnail(const QString& path, int maxDimension) const;

    // What text recognition needs: the image without the one-coloured rows and columns at its
    // edges (a huge canvas with a screen drawn in one corner is read as that screen; an image of
    // one colour gives a null image, nothing to read), at most recognitionPixels (a 4K or 5K
    // screenshot keeps every pixel; larger ones are scaled down, text still large enough to
    // read), in grey levels with transparent areas over white, as they looked on screen. The
    // full image never outlives the decode.
    static constexpr qint64 recognitionPixels = 4096LL * 4096;
    Result decodeForRecognition(const QString& path) const;
    static QImage greyOverWhite(const QImage& image);

    // A copy at most maxDimension on its longest side (never enlarged), smoothly scaled; a null
    // image when a side would not be greater than 0.
    static QImage resized(const QImage& image, int maxDimension);

    // Whether a file name carries one of the image extensions Framlet watches, in any case.
    static bool hasImageExtension(const QString& fileName);

private:
    DecodeBudget* m_budget;
};

}  // namespace framlet
