#pragma once

#include <cstdint>
#include <vector>

namespace framlet {

// Finds the runs of text-like ink in a grey image that no recognised word covers: the line
// numbers of a gutter, the entries of a sidebar or a menu bar that page layout analysis took
// for noise. Ink is where the grey level steps sharply, so it is found alike on light and dark
// backgrounds and on coloured buttons; flat panels and their borders are not text-like and
// are left out.
class UncoveredInk {
public:
    struct Box {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        int right() const { return left + width; }
        int bottom() const { return top + height; }
        bool operator==(const Box&) const = default;
    };

    struct Grey {
        const std::uint8_t* bits = nullptr;
        int width = 0;
        int height = 0;
        int stride = 0;  // bytes per row
        std::uint8_t at(int x, int y) const { return bits[y * stride + x]; }
    };

    // Boxes around the uncovered runs, one per line fragment (letters closer than a word gap
    // join), in reading order.
    static std::vector<Box> find(const Grey& image, const std::vector<Box>& covered);

    // Grid cell side in pixels: the resolution at which ink is located.
    static constexpr int cell = 4;
};

}  // namespace framlet
