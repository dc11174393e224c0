#pragma once

#include "convert/glyphslots.h"
#include "convert/rowloop.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace mosaiq {

// What the page shows, small enough to keep for pages of tens of millions of cells: four bytes a
// cell (its colour and a byte for its glyph, see GlyphSlots), four more for a cell chosen by shape
// (its background), a few bytes a row (its mode and where its cells lie), the page's background
// and styles. It is built from the rows as the run writes them, so a preview drawn from it shows
// the page as written, whatever the user changed meanwhile. Cells live in blocks of about a
// million, so a page of any size is kept without copying it as it grows or guessing its size
// beforehand.
class PageRecord : public RowSink {
public:
    // background and style: what the page's header was written with.
    PageRecord(ColourValue background, const StyleFlags& style);

    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override;
    // The trailer was written: the page ends with one empty line more.
    void setComplete() { m_complete = true; }

    // One cell: colour 0x00BBGGRR in the low 24 bits, the byte of its glyph above: the byte the
    // page holds for a character of Windows-1252, another for a character the page writes as a
    // reference (characterOf says which).
    using Cell = std::uint32_t;
    static ColourValue colourOf(Cell cell) { return ColourValue(cell & 0xFFFFFFu); }
    static std::uint8_t byteOf(Cell cell) { return std::uint8_t(cell >> 24); }
    static Cell makeCell(ColourValue colour, char pageByte)
    {
        return (std::uint32_t(colour) & 0xFFFFFFu) | (std::uint32_t(std::uint8_t(pageByte)) << 24);
    }

    // The background as the page's header writes it, 0x00BBGGRR.
    ColourValue background() const { return m_background; }
    const StyleFlags& style() const { return m_style; }
    bool complete() const { return m_complete; }

    std::int64_t rowCount() const { return std::int64_t(m_rows.size()); }
    std::int64_t letterCells() const { return m_letterCells; }
    std::int64_t squareCells() const { return m_squareCells; }
    // Whether the cells were chosen by shape: each has a background of its own and the page is
    // drawn in the shapes' monospace font (shapesHeaderLine).
    bool shaped() const { return m_shaped; }
    std::int64_t cellCount() const { return m_letterCells + m_squareCells; }
    // Cells in the longest row.
    std::int64_t widestRow() const { return m_widestRow; }
    // Whether some cell holds byte b.
    bool usesByte(std::uint8_t b) const { return m_slots.taken(b); }
    // The character each byte stands for on this page.
    const std::array<char32_t, 256>& characters() const { return m_slots.characters(); }

    // Row index (0 for the top row) < rowCount().
    CellMode rowMode(std::int64_t index) const { return m_rows[std::size_t(index)].mode; }
    std::span<const Cell> rowCells(std::int64_t index) const
    {
        const Row& row = m_rows[std::size_t(index)];
        if (row.cells == 0)
            return {};
        return { m_blocks[row.block].get() + row.offset, row.cells };
    }
    // The backgrounds of a row of cells chosen by shape (colourOf each), one per cell; empty
    // for the others.
    std::span<const Cell> rowBackgrounds(std::int64_t index) const
    {
        const Row& row = m_rows[std::size_t(index)];
        if (!row.shaped || row.cells == 0)
            return {};
        return { m_blocks[row.block].get() + row.offset + row.cells, row.cells };
    }

    // Bytes held, for the benchmarks' accounts.
    std::size_t memoryBytes() const;

private:
    struct Row {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
        std::uint32_t cells = 0;
        CellMode mode = CellMode::Letter;
        bool shaped = false; // its backgrounds follow its cells
    };
    Cell* room(std::size_t cells);

    ColourValue m_background;
    StyleFlags m_style;
    bool m_complete = false;
    bool m_shaped = false;
    std::vector<Row> m_rows;
    std::vector<std::unique_ptr<Cell[]>> m_blocks;
    std::vector<std::size_t> m_blockSizes;
    std::size_t m_used = 0; // cells taken in the last block
    std::int64_t m_letterCells = 0;
    std::int64_t m_squareCells = 0;
    std::int64_t m_widestRow = 0;
    GlyphSlots m_slots;
};

} // namespace mosaiq
