#include "library/ocr/TextPatchSheet.h"

#include <algorithm>
#include <array>

namespace framlet {
namespace {

constexpr int kMargin = 3;  // around each patch, so the first and last letters keep their edges
constexpr int kGap = 24;    // between patches, wider than any gap inside a line
constexpr int kMaxEnlargement = 4;
constexpr int kMaxSheetWidth = 1600;
constexpr int kBackgroundTolerance = 40;  // grey levels: JPEG noise and antialiasing fringes

// The commonest grey level is the background; the level furthest from it is the ink.
std::pair<int, int> backgroundAndInk(const QImage& patch) {
    std::array<int, 256> histogram{};
    for (int y = 0; y < patch.height(); ++y) {
        const uchar* row = patch.constScanLine(y);
        for (int x = 0; x < patch.width(); ++x) {
            ++histogram[row[x]];
        }
    }
    const int background =
        int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    int darkest = 0;
    while (darkest < 255 && histogram[darkest] == 0) {
        ++darkest;
    }
    int lightest = 255;
    while (lightest > 0 && histogram[lightest] == 0) {
        --lightest;
    }
    const bool inkIsDarker = background - darkest >= lightest - background;
    return {background, inkIsDarker ? darkest : lightest};
}

// Maps the background to white and the ink to black, whichever of the two is lighter.
void normalise(QImage& patch) {
    const auto [background, ink] = backgroundAndInk(patch);
    if (background == ink) {
        return;
    }
    std::array<uchar, 256> table{};
    for (int level = 0; level < 256; ++level) {
        const int scaled = (level - ink) * 255 / (background - ink);
        table[level] = uchar(std::clamp(scaled, 0, 255));
    }
    for (int y = 0; y < patch.height(); ++y) {
        uchar* row = patch.scanLine(y);
        std::transform(row, row + patch.width(), row, [&](uchar level) { return table[level]; });
    }
}

bool nearBackground(uchar level, int background) {
    return std::abs(int(level) - background) <= kBackgroundTolerance;
}

// The rows (or columns) of a patch from first to last that hold ink.
int inkExtent(const QImage& patch, int background) {
    int first = -1;
    int last = -1;
    for (int y = 0; y < patch.height(); ++y) {
        const uchar* row = patch.constScanLine(y);
        if (std::any_of(row, row + patch.width(),
                        [&](uchar level) { return !nearBackground(level, background); })) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// A button or a bar is found with its own edges: its outline, and what surrounds it, would
// read as a frame around the text. Peels off outer rows and columns until most of the edge is
// the patch's background.
QRect insideFrame(const QImage& patch, int background) {
    const auto share = [&](int x0, int y0, int dx, int dy, int length) {
        int near = 0;
        for (int i = 0; i < length; ++i) {
            near += nearBackground(patch.constScanLine(y0 + i * dy)[x0 + i * dx], background);
        }
        return double(near) / std::max(1, length);
    };
    QRect area = patch.rect();
    const int minSide = 6;
    while (area.height() > minSide && share(area.left(), area.top(), 1, 0, area.width()) < 0.5) {
        area.setTop(area.top() + 1);
    }
    while (area.height() > minSide && share(area.left(), area.bottom(), 1, 0, area.width()) < 0.5) {
        area.setBottom(area.bottom() - 1);
    }
    while (area.width() > minSide && share(area.left(), area.top(), 0, 1, area.height()) < 0.5) {
        area.setLeft(area.left() + 1);
    }
    while (area.width() > minSide && share(area.right(), area.top(), 0, 1, area.height()) < 0.5) {
        area.setRight(area.right() - 1);
    }
    return area;
}

bool columnHasInk(const QImage& patch, int x, int background) {
    for (int y = 0; y < patch.height(); ++y) {
        if (!nearBackground(patch.constScanLine(y)[x], background)) {
            return true;
        }
    }
    return false;
}

// The pieces of a patch between blank gaps wider than `gap` columns: the entries of a status bar
// or a toolbar, found as one patch along the bar's edges, each become patches of their own.
std::vector<QRect> piecesBetweenGaps(const QImage& patch, int background, int gap) {
    std::vector<QRect> pieces;
    int first = -1;
    int lastInk = -1;
    for (int x = 0; x < patch.width(); ++x) {
        if (!columnHasInk(patch, x, background)) {
            continue;
        }
        if (first >= 0 && x - lastInk > gap) {
            pieces.push_back(QRect(first, 0, lastInk - first + 1, patch.height()));
            first = -1;
        }
        first = first < 0 ? x : first;
        lastInk = x;
    }
    if (first >= 0) {
        pieces.push_back(QRect(first, 0, lastInk - first + 1, patch.height()));
    }
    for (QRect& piece : pieces) {
        piece = piece.adjusted(-kMargin, 0, kMargin, 0).intersected(patch.rect());
    }
    return pieces;
}

QImage enlarged(const QImage& piece, int inkHeight, const TextPatchSheet::Options& options) {
    if (options.targetHeight <= 0 || inkHeight <= 0 || inkHeight >= options.targetHeight) {
        return piece;
    }
    // Every patch pays for the sheet's width: a wide one is enlarged less.
    const int enlargement = std::clamp(
        std::min(options.targetHeight / inkHeight, kMaxSheetWidth / std::max(1, piece.width())), 1,
        kMaxEnlargement);
    return enlargement > 1 ? piece.scaled(piece.size() * enlargement, Qt::IgnoreAspectRatio,
                                          Qt::SmoothTransformation)
                           : piece;
}

void preparePatch(const QImage& grey, const UncoveredInk::Box& box,
                  const TextPatchSheet::Options& options, std::vector<QImage>& prepared) {
    const QRect area = QRect(box.left, box.top, box.width, box.height)
                           .adjusted(-kMargin, -kMargin, kMargin, kMargin)
                           .intersected(grey.rect());
    QImage patch = grey.copy(area);
    int background = backgroundAndInk(patch).first;
    patch = patch.copy(insideFrame(patch, background));
    if (options.normalise) {
        normalise(patch);
        background = 255;
    }
    const int inkHeight = inkExtent(patch, background);
    for (const QRect& piece : piecesBetweenGaps(patch, background, 2 * std::max(8, inkHeight))) {
        prepared.push_back(enlarged(patch.copy(piece), inkHeight, options));
    }
}

}  // namespace

TextPatchSheet::TextPatchSheet(const QImage& grey, const std::vector<UncoveredInk::Box>& patches,
                               const Options& options) {
    if (patches.empty()) {
        return;
    }
    std::vector<QImage> prepared;
    int width = 0;
    int height = kGap;
    for (const UncoveredInk::Box& box : patches) {
        preparePatch(grey, box, options, prepared);
    }
    if (prepared.empty()) {
        return;
    }
    for (const QImage& patch : prepared) {
        width = std::max(width, patch.width());
        height += patch.height() + kGap;
    }
    m_sheet = QImage(width + 2 * kGap, height, QImage::Format_Grayscale8);
    m_sheet.fill(options.normalise ? 255 : grey.pixelColor(0, 0).value());
    int y = kGap;
    for (const QImage& patch : prepared) {
        for (int row = 0; row < patch.height(); ++row) {
            std::copy_n(patch.constScanLine(row), patch.width(), m_sheet.scanLine(y + row) + kGap);
        }
        y += patch.height() + kGap;
    }
}

}  // namespace framlet
