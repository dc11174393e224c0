#include "convert/transparentcells.h"

#include "convert/samplegrid.h"

#include <algorithm>
#include <cstring>

namespace mosaiq {

bool TransparentCells::mark(const PixelBuffer& picture, double columns, double rows,
    std::int64_t cells, std::int64_t y, std::int64_t rowCount)
{
    m_flags.assign(std::size_t(std::max<std::int64_t>(cells, 0)), 0);
    m_any = false;
    if (!picture.alpha || cells <= 0 || y < 1 || y > rowCount)
        return false;
    if (cells != m_cells || picture.width != m_pictureWidth || !(columns == m_columns)) {
        SampleGrid::blockEdges(m_left, m_width, cells, picture.width, columns);
        m_cells = cells;
        m_pictureWidth = picture.width;
        m_columns = columns;
    }
    if (rowCount != m_rowCount || picture.height != m_pictureHeight || !(rows == m_rows)) {
        SampleGrid::blockEdges(m_top, m_height, rowCount, picture.height, rows);
        m_rowCount = rowCount;
        m_pictureHeight = picture.height;
        m_rows = rows;
    }
    const auto row = std::size_t(y - 1);
    const std::int32_t top = m_top[row], height = m_height[row];
    if (height <= 0)
        return false;
    if (picture.arrival)
        picture.arrival->waitFor(top + height - 1);
    m_clear.assign(std::size_t(cells), 0);
    for (std::int32_t line = top; line < top + height; ++line) {
        const std::uint8_t* alpha = picture.alphaRow(line);
        for (std::size_t i = 0; i < std::size_t(cells); ++i) {
            std::int32_t clear = 0;
            for (std::int32_t x = m_left[i]; x < m_left[i] + m_width[i]; ++x)
                clear += alpha[x] < 128 ? 1 : 0;
            m_clear[i] += clear;
        }
    }
    bool any = false;
    for (std::size_t i = 0; i < std::size_t(cells); ++i) {
        const std::int64_t area = std::int64_t(m_width[i]) * height;
        m_flags[i] = std::uint8_t(2 * std::int64_t(m_clear[i]) > area ? 1 : 0);
        any = any || m_flags[i];
    }
    m_any = any;
    return any;
}

void TransparentCells::colour(std::span<ColourValue> colours, ColourValue colour) const
{
    for (std::size_t i = 0; i < colours.size() && i < m_flags.size(); ++i) {
        if (m_flags[i])
            colours[i] = colour;
    }
}

std::size_t TransparentCells::spaceCodeRow(
    char* row, std::size_t length, std::span<const Glyph> glyphs, std::size_t cellLength) const
{
    // Each space is shorter than the markup it replaces: the row is rewritten from its start.
    constexpr char NoBreakSpace[] = "\xC2\xA0";
    const char* in = row;
    char* out = row;
    for (std::size_t i = 0; i < glyphs.size() && i < m_flags.size(); ++i) {
        const std::size_t bytes = cellLength + glyphs[i].utf8Length;
        if (m_flags[i]) {
            std::memcpy(out, NoBreakSpace, 2);
            out += 2;
        } else {
            std::memmove(out, in, bytes);
            out += bytes;
        }
        in += bytes;
    }
    const std::size_t rest = length - std::size_t(in - row);
    std::memmove(out, in, rest);
    return std::size_t(out - row) + rest;
}

} // namespace mosaiq
