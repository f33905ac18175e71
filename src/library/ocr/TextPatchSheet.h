#pragma once

#include <QImage>
#include <vector>

#include "library/ocr/UncoveredInk.h"

namespace framlet {

// Gathers small patches of a grey image onto one sheet, one under the other, so that a single
// recognition reads them all. Each patch is turned into dark ink on white (light text on a dark
// theme or a coloured button is inverted; dim grey text is stretched to full contrast) and
// small text is enlarged to a height the recogniser reads well.
class TextPatchSheet {
public:
    struct Options {
        bool normalise = true;
        // Patches lower than this many pixels are enlarged towards it (at most 4 times); 0 keeps
        // their size.
        int targetHeight = 48;
    };

    TextPatchSheet(const QImage& grey, const std::vector<UncoveredInk::Box>& patches,
                   const Options& options);

    const QImage& image() const { return m_sheet; }
    bool isEmpty() const { return m_sheet.isNull(); }

private:
    QImage m_sheet;
};

}  // namespace framlet
