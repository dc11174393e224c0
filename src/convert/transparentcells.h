#pragma once

#include "convert/colourvalue.h"
#include "convert/glyph.h"
#include "convert/pixelbuffer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace mosaiq {

// The cells of a row that the picture leaves transparent, for a run that shows them as the
// page's background (--transparent background) rather than as drawn on white. A cell is
// transparent when more than half of the pixels of its block (SampleGrid::blockEdges, the block
// that shapes are matched over, in every mode) are less than half opaque: a cell on a logo's
// antialiased edge goes with whichever it mostly shows. In the page such a cell takes the page's
// background as its colours (with --foreground-only, the reader's, which every cell's background
// then is); in the codes, which have no background of their own, it is a space
// without colour tag (BuiltRow::transparent): a no-break space, which HTML does not fold into its
// neighbours, in the HTML code and the forums' codes, a plain space in the chats'.
class TransparentCells {
public:
    // Finds the transparent cells of row y (from 1) of rowCount, of cells cells over a grid of
    // columns x rows; false when there is none (always, for a picture without transparency).
    bool mark(const PixelBuffer& picture, double columns, double rows, std::int64_t cells,
        std::int64_t y, std::int64_t rowCount);
    // After mark(): one flag a cell, 1 where transparent; empty when none is.
    std::span<const std::uint8_t> flags() const
    {
        return m_any ? std::span<const std::uint8_t>(m_flags) : std::span<const std::uint8_t>();
    }

    // Gives the transparent cells colour.
    void colour(std::span<ColourValue> colours, ColourValue colour) const;

    // Turns each transparent cell of the codes' row (length bytes at row, each cell its markup
    // of cellLength bytes around its glyph's UTF-8, glyphs[i]) into a no-break space, in place;
    // returns the row's new length.
    std::size_t spaceCodeRow(
        char* row, std::size_t length, std::span<const Glyph> glyphs, std::size_t cellLength) const;

private:
    std::vector<std::uint8_t> m_flags;
    bool m_any = false;
    std::vector<std::int32_t> m_left, m_width, m_top, m_height;
    std::vector<std::int32_t> m_clear; // per cell, the pixels less than half opaque
    // What the edges were made for.
    std::int64_t m_cells = -1, m_rowCount = -1;
    std::int32_t m_pictureWidth = -1, m_pictureHeight = -1;
    double m_columns = 0, m_rows = 0;
};

} // namespace mosaiq
