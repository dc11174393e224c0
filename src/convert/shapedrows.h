#pragma once

#include "convert/colourvalue.h"
#include "convert/glyphshapes.h"
#include "convert/pixelbuffer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace mosaiq {

class ShapeMatcher;

// How a run chooses its cells' characters and colours by the shape of the picture in each cell
// (mosaiq-cli's --shapes) rather than by one sample.
struct ShapeOptions {
    ShapeSet set = ShapeSet::Ascii;
    // Every cell's background, only its ink fitted over it: the page then shows what a forum that
    // colours only the text shows. None: both colours are fitted for each cell.
    std::optional<ColourValue> background;
    // Each cell's glyph and ink fitted a second time over this background, for the codes whose
    // destination colours only the text. None: those codes take the cells as they are.
    std::optional<ColourValue> textBackground;
    // The threads that match the rows, 0 for one per core; the cells are the same whatever it is.
    int threads = 0;
};

// The cells of one row chosen by shape, one entry per cell; glyphs are places among the set's
// glyphs in glyphShapes()' order (ShapeChoice::glyph), colours 0x00BBGGRR.
struct ShapedCells {
    std::vector<std::uint16_t> glyphs;
    std::vector<ColourValue> foregrounds;
    std::vector<ColourValue> backgrounds;
    // With ShapeOptions::textBackground: the second fit; else empty.
    std::vector<std::uint16_t> textGlyphs;
    std::vector<ColourValue> textForegrounds;
};

// The rows of a run chosen by shape. Each cell is matched (ShapeMatcher) on the block of pixels
// it covers (SampleGrid::blockEdges), and the rows are matched a batch at a time, each row on
// whichever thread takes it: a cell's choice depends on its pixels alone, so the rows are the same
// whichever thread made them. With more than one thread the next batch is matched by the others
// while the run writes this one, and the writer joins them when it needs it.
class ShapedRows {
public:
    explicit ShapedRows(const ShapeOptions& options);
    ~ShapedRows();

    // Row y (from 1) of the grid of cells x rowCount blocks over picture, its sides divided into
    // columns and rows (the run's steps, which may hold decimals). The rows after it, up to a
    // batch, are matched with it, and the next batch begun; a later call for them finds them
    // made, unless the picture or the grid changed. Waits for the rows of a picture still
    // arriving. Valid until the next call; the picture's pixels are read until then, or until
    // this is destroyed.
    const ShapedCells& row(const PixelBuffer& picture, double columns, double rows,
        std::int64_t cells, std::int64_t y, std::int64_t rowCount);

private:
    struct Grid {
        const std::uint32_t* pixels = nullptr;
        std::int32_t width = 0, height = 0;
        std::ptrdiff_t stride = 0;
        std::int32_t firstRow = 0;
        double columns = 0, rows = 0;
        std::int64_t cells = -1, rowCount = 0;
        bool operator==(const Grid&) const = default;
    };
    struct Batch {
        std::vector<ShapedCells> rows;
        std::int64_t first = 0; // the batch's first row (from 1); 0: none
        std::int64_t count = 0;
        bool holds(std::int64_t y) const { return first != 0 && y >= first && y < first + count; }
    };
    // Begins matching the batch of count rows from first into m_coming on the helpers.
    void startComing(const PixelBuffer& picture, std::int64_t first, std::int64_t count);
    // Matches what is left of m_coming on this thread, or leaves it (picture null), then waits
    // for the helpers.
    void finishComing(const PixelBuffer* picture);
    void work(const PixelBuffer& picture, std::size_t thread);
    void matchRow(std::size_t thread, const PixelBuffer& picture, std::int64_t y);

    ShapeOptions m_options;
    std::size_t m_threads;
    // Two matchers a thread: the cells' own, and with textBackground the text's.
    std::vector<std::unique_ptr<ShapeMatcher>> m_matchers;
    Grid m_grid;
    std::vector<std::int32_t> m_left, m_width, m_top, m_height; // the blocks' spans
    Batch m_ready; // the rows handed out
    Batch m_coming; // the rows matched, or being matched, after them
    std::atomic<std::int64_t> m_next { 0 }; // m_coming's next row not taken by a thread
    std::vector<std::thread> m_helpers; // matching m_coming
};

} // namespace mosaiq
