#include "output/preview/pagerecord.h"

#include <algorithm>

namespace mosaiq {

namespace {

    // Four megabytes a block: small beside the page, large enough that a block holds hundreds of
    // ordinary rows and the little left at the end of each is nothing.
    constexpr std::size_t BlockCells = std::size_t(1) << 20;

} // namespace

PageRecord::PageRecord(ColourValue background, const StyleFlags& style)
    : m_background(ColourValue(std::uint32_t(background) & 0xFFFFFFu))
    , m_style(style)
{
}

PageRecord::Cell* PageRecord::room(std::size_t cells)
{
    if (m_blocks.empty() || m_blockSizes.back() - m_used < cells) {
        // A row longer than a block gets a block of its own size.
        const std::size_t size = std::max(BlockCells, cells);
        m_blocks.push_back(std::make_unique_for_overwrite<Cell[]>(size));
        m_blockSizes.push_back(size);
        m_used = 0;
    }
    Cell* start = m_blocks.back().get() + m_used;
    m_used += cells;
    return start;
}

void PageRecord::rowBuilt(const BuiltRow& row)
{
    // Both come from the same row; should they ever differ, the shorter one says what is known.
    const std::size_t cells = std::min(row.colours.size(), row.glyphs.size());
    Row entry;
    entry.shaped = !row.backgrounds.empty() && row.backgrounds.size() >= cells;
    m_shaped = m_shaped || entry.shaped;
    if (cells > 0) {
        Cell* out = room(entry.shaped ? 2 * cells : cells);
        for (std::size_t i = 0; i < cells; ++i)
            out[i] = makeCell(row.colours[i], char(m_slots.slotOf(row.glyphs[i])));
        if (entry.shaped) {
            for (std::size_t i = 0; i < cells; ++i)
                out[cells + i] = makeCell(row.backgrounds[i], 0);
        }
        entry.block = std::uint32_t(m_blocks.size() - 1);
        entry.offset = std::uint32_t(out - m_blocks.back().get());
        entry.cells = std::uint32_t(cells);
    }
    entry.mode = row.mode;
    m_rows.push_back(entry);
    (row.mode == CellMode::Square ? m_squareCells : m_letterCells) += std::int64_t(cells);
    m_widestRow = std::max(m_widestRow, std::int64_t(cells));
}

std::size_t PageRecord::memoryBytes() const
{
    std::size_t bytes = m_rows.capacity() * sizeof(Row);
    for (std::size_t size : m_blockSizes)
        bytes += size * sizeof(Cell);
    return bytes;
}

} // namespace mosaiq
