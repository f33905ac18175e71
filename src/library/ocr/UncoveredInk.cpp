#include "library/ocr/UncoveredInk.h"

#include <algorithm>
#include <cstdlib>

namespace framlet {
namespace {

using Box = UncoveredInk::Box;
constexpr int cell = UncoveredInk::cell;

// A glyph's edge: this many grey levels across one or two pixels (antialiasing spreads one step
// over two), well above what JPEG leaves on a flat panel.
constexpr int kEdgeStep = 56;
constexpr int kEdgesPerCell = 2;
// Letters and words of one label are closer than this many empty cells; menu entries and table
// columns are further apart, so each stays a fragment of its own.
constexpr int kJoinCells = 3;
// Shorter is a stroke or a speck; taller is a picture or a frame, not a line of text.
constexpr int kMinCells = 2;
constexpr int kMaxCellsHigh = 24;

class CellGrid {
public:
    CellGrid(int columns, int rows) : columns(columns), rows(rows), m_ink(columns * rows) {}

    bool ink(int column, int row) const { return m_ink[row * columns + column] != 0; }
    void set(int column, int row, bool ink) { m_ink[row * columns + column] = ink ? 1 : 0; }

    const int columns;
    const int rows;

private:
    std::vector<std::uint8_t> m_ink;
};

CellGrid inkCells(const UncoveredInk::Grey& image) {
    CellGrid grid((image.width + cell - 1) / cell, (image.height + cell - 1) / cell);
    std::vector<int> edges(std::size_t(grid.columns) * grid.rows);
    for (int y = 0; y + 2 < image.height; ++y) {
        const std::uint8_t* row = image.bits + std::ptrdiff_t(y) * image.stride;
        const std::uint8_t* below = row + 2 * std::ptrdiff_t(image.stride);
        int* counts = edges.data() + std::ptrdiff_t(y / cell) * grid.columns;
        const std::uint8_t* next = row + image.stride;
        for (int x = 0; x + 2 < image.width; ++x) {
            // Over one pixel as well: a thin stroke has background on both sides.
            const int level = row[x];
            if (std::abs(row[x + 2] - level) > kEdgeStep ||
                std::abs(row[x + 1] - level) > kEdgeStep ||
                std::abs(below[x] - level) > kEdgeStep || std::abs(next[x] - level) > kEdgeStep) {
                ++counts[x / cell];
            }
        }
    }
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            grid.set(c, r, edges[std::size_t(r) * grid.columns + c] >= kEdgesPerCell);
        }
    }
    return grid;
}

void clearCovered(CellGrid& grid, const std::vector<Box>& covered) {
    for (const Box& box : covered) {
        const int firstColumn = std::max(0, box.left / cell);
        const int lastColumn = std::min(grid.columns - 1, (box.right() - 1) / cell);
        const int firstRow = std::max(0, box.top / cell);
        const int lastRow = std::min(grid.rows - 1, (box.bottom() - 1) / cell);
        for (int r = firstRow; r <= lastRow; ++r) {
            for (int c = firstColumn; c <= lastColumn; ++c) {
                grid.set(c, r, false);
            }
        }
    }
}

void joinWithinWordGaps(CellGrid& grid) {
    for (int r = 0; r < grid.rows; ++r) {
        int lastInk = -1;
        for (int c = 0; c < grid.columns; ++c) {
            if (!grid.ink(c, r)) {
                continue;
            }
            if (lastInk >= 0 && c - lastInk - 1 <= kJoinCells) {
                for (int gap = lastInk + 1; gap < c; ++gap) {
                    grid.set(gap, r, true);
                }
            }
            lastInk = c;
        }
    }
}

// Bounding boxes, in cells, of the 4-connected groups of ink cells; consumes the grid.
std::vector<Box> components(CellGrid& grid) {
    std::vector<Box> found;
    std::vector<std::pair<int, int>> stack;
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            if (!grid.ink(c, r)) {
                continue;
            }
            int left = c, right = c, top = r, bottom = r;
            grid.set(c, r, false);
            stack.push_back({c, r});
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                const std::pair<int, int> neighbours[] = {
                    {x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
                for (const auto& [nx, ny] : neighbours) {
                    if (nx >= 0 && ny >= 0 && nx < grid.columns && ny < grid.rows &&
                        grid.ink(nx, ny)) {
                        grid.set(nx, ny, false);
                        stack.push_back({nx, ny});
                    }
                }
            }
            found.push_back({left, top, right - left + 1, bottom - top + 1});
        }
    }
    return found;
}

}  // namespace

std::vector<Box> UncoveredInk::find(const Grey& image, const std::vector<Box>& covered) {
    if (!image.bits || image.width < 3 || image.height < 3) {
        return {};
    }
    CellGrid grid = inkCells(image);
    clearCovered(grid, covered);
    joinWithinWordGaps(grid);
    std::vector<Box> boxes;
    for (const Box& cells : components(grid)) {
        if (cells.width < kMinCells || cells.height < kMinCells || cells.height > kMaxCellsHigh) {
            continue;
        }
        const int left = cells.left * cell;
        const int top = cells.top * cell;
        boxes.push_back({left, top, std::min(cells.width * cell, image.width - left),
                         std::min(cells.height * cell, image.height - top)});
    }
    std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    return boxes;
}

}  // namespace framlet
