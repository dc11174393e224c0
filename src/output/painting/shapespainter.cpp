#include "output/painting/shapespainter.h"

#include "convert/glyphshapes.h"
#include "convert/htmldocument.h"
#include "output/painting/paintedlines.h"
#include "output/preview/pagelayout.h"

#include <algorithm>
#include <cmath>

namespace mosaiq {

namespace {

    QRgb toRgb(ColourValue colour)
    {
        return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    }

    // A glyph's coverage of its cell on a grid, row by row from the top, 0-255 each.
    struct CoverageGrid {
        int columns = 0;
        int rows = 0;
        std::array<std::uint8_t, 8 * 24> values {};
    };

    // The block elements and sextants from their definitions, on a grid of eighths across and
    // twenty-fourths down, where eighths and thirds of the height both fall on its lines.
    constexpr int BlockColumns = 8;
    constexpr int BlockRows = 24;

    void fill(CoverageGrid& grid, int left, int top, int right, int bottom, std::uint8_t value)
    {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                grid.values[std::size_t(y * grid.columns + x)] = value;
    }

    bool blockGrid(char32_t c, CoverageGrid& grid)
    {
        grid.columns = BlockColumns;
        grid.rows = BlockRows;
        constexpr int W = BlockColumns, H = BlockRows;
        // The quarters of each quadrant character: upper left 1, upper right 2, lower left 4,
        // lower right 8.
        constexpr std::uint8_t Quadrants[] = { 4, 8, 1, 13, 9, 7, 11, 2, 6, 14 };
        if (c == 0x2580) {
            fill(grid, 0, 0, W, H / 2, 255);
        } else if (c >= 0x2581 && c <= 0x2588) { // lower eighths to the full block
            fill(grid, 0, H - int(c - 0x2580) * H / 8, W, H, 255);
        } else if (c >= 0x2589 && c <= 0x258F) { // left seven eighths to one eighth
            fill(grid, 0, 0, W - int(c - 0x2588), H, 255);
        } else if (c == 0x2590) {
            fill(grid, W / 2, 0, W, H, 255);
        } else if (c >= 0x2591 && c <= 0x2593) { // light, medium and dark shades: a quarter of
            // ink, a half, three quarters, spread evenly as they look from a step away
            fill(grid, 0, 0, W, H, std::uint8_t(std::lround(255.0 * int(c - 0x2590) / 4)));
        } else if (c == 0x2594) {
            fill(grid, 0, 0, W, H / 8, 255);
        } else if (c == 0x2595) {
            fill(grid, W - W / 8, 0, W, H, 255);
        } else if (c >= 0x2596 && c <= 0x259F) {
            const std::uint8_t quarters = Quadrants[c - 0x2596];
            for (int q = 0; q < 4; ++q) {
                if (quarters & (1 << q))
                    fill(grid, q % 2 * W / 2, q / 2 * H / 2, (q % 2 + 1) * W / 2,
                        (q / 2 + 1) * H / 2, 255);
            }
        } else if (c >= 0x1FB00 && c <= 0x1FB3B) {
            // The 62 patterns of six cells, two across and three down, in order of their bits
            // (the first the upper left), less the two that the half blocks draw.
            int bits = int(c - 0x1FB00) + 1;
            bits += bits >= 21 ? 1 : 0;
            bits += bits >= 42 ? 1 : 0;
            for (int s = 0; s < 6; ++s) {
                if (bits & (1 << s))
                    fill(grid, s % 2 * W / 2, s / 2 * H / 3, (s % 2 + 1) * W / 2,
                        (s / 2 + 1) * H / 3, 255);
            }
        } else {
            return false;
        }
        return true;
    }

    // A braille pattern from the shapes' table, drawn there centred in the cell as the page's
    // fallback font draws it.
    bool tableGrid(char32_t c, CoverageGrid& grid)
    {
        if (c < 0x2800 || c > 0x28FF)
            return false;
        const auto shapes = glyphShapes();
        const auto found = std::lower_bound(shapes.begin(), shapes.end(), c,
            [](const GlyphShape& shape, char32_t wanted) { return shape.character < wanted; });
        if (found == shapes.end() || found->character != c)
            return false;
        grid.columns = ShapeColumns;
        grid.rows = ShapeRows;
        std::copy(found->coverage.begin(), found->coverage.end(), grid.values.begin());
        return true;
    }

    bool gridOf(char32_t c, CoverageGrid& grid)
    {
        return blockGrid(c, grid) || tableGrid(c, grid);
    }

    // How much of each pixel of a width x height cell the grid covers: the grid's values
    // weighed by the share of the pixel each of its squares takes.
    PageFont::Mask cellCoverage(const CoverageGrid& grid, int width, int height)
    {
        PageFont::Mask mask;
        if (width <= 0 || height <= 0)
            return mask;
        // A multiple of eight pixels wide, as the painting takes masks; the padding covers
        // nothing.
        mask.coverage = QImage((width + 7) / 8 * 8, height, QImage::Format_Alpha8);
        mask.coverage.fill(0);
        const double across = double(grid.columns) / width, down = double(grid.rows) / height;
        auto overlap = [](double from, double to, int square) {
            return std::max(0.0, std::min(to, double(square + 1)) - std::max(from, double(square)));
        };
        bool inked = false;
        for (int y = 0; y < height; ++y) {
            uchar* line = mask.coverage.scanLine(y);
            const double top = y * down, bottom = (y + 1) * down;
            for (int x = 0; x < width; ++x) {
                const double left = x * across, right = (x + 1) * across;
                double sum = 0;
                for (int row = int(top); row < grid.rows && row < bottom; ++row) {
                    const double high = overlap(top, bottom, row);
                    for (int column = int(left); column < grid.columns && column < right; ++column)
                        sum += grid.values[std::size_t(row * grid.columns + column)] * high
                            * overlap(left, right, column);
                }
                const auto value = int(std::lround(std::clamp(sum / (across * down), 0.0, 255.0)));
                line[x] = uchar(value);
                inked = inked || value != 0;
            }
        }
        if (!inked)
            return {};
        mask.bits = mask.coverage.constBits();
        mask.stride = mask.coverage.bytesPerLine();
        mask.width = mask.coverage.width();
        mask.height = height;
        return mask;
    }

    // A device pixel edge on the page.
    std::int64_t edge(double value)
    {
        return std::llround(value);
    }

} // namespace

ShapesPainter::ShapesPainter(std::shared_ptr<const PageRecord> record, int scale)
    : m_record(std::move(record))
    , m_font(QStringLiteral("DejaVu Sans Mono"), m_record->style(), m_record->characters())
    , m_scale(scale)
    , m_cellWidth(html::ShapesFontPixels * html::ShapesCellEms * scale)
    , m_lineHeight(html::ShapesFontPixels * html::ShapesLineEms * scale)
    , m_margin(PageLayout::Margin * scale)
    , m_ascent(html::ShapesFontPixels * ShapeFontAscender / 2048.0 * scale)
{
    // A complete page ends with one empty line more, as the text's does.
    const std::int64_t lines = m_record->rowCount() + (m_record->complete() ? 1 : 0);
    m_width = std::int64_t(std::ceil(2 * m_margin + double(m_record->widestRow()) * m_cellWidth));
    m_height = std::int64_t(std::ceil(2 * m_margin + double(lines) * m_lineHeight));
}

const PageFont::Mask* ShapesPainter::cellMask(std::uint8_t b, int width, int height) const
{
    if (!m_drawn[b])
        return nullptr;
    const int narrow = int(std::floor(m_cellWidth)), low = int(std::floor(m_lineHeight));
    const int w = std::clamp(width - narrow, 0, 1), h = std::clamp(height - low, 0, 1);
    return &m_cellMasks[std::size_t(b) * 4 + std::size_t(w * 2 + h)];
}

void ShapesPainter::prepare()
{
    if (m_prepared)
        return;
    const double pixelSize = html::ShapesFontPixels * m_scale;
    m_cellMasks.assign(256 * 4, {});
    const int narrow = int(std::floor(m_cellWidth)), low = int(std::floor(m_lineHeight));
    for (int b = 0; b < 256; ++b) {
        if (!m_record->usesByte(std::uint8_t(b)))
            continue;
        CoverageGrid grid;
        if (gridOf(m_record->characters()[std::size_t(b)], grid)) {
            m_drawn[std::size_t(b)] = true;
            for (int k = 0; k < 4; ++k)
                m_cellMasks[std::size_t(b) * 4 + std::size_t(k)]
                    = cellCoverage(grid, narrow + k / 2, low + k % 2);
        } else {
            for (int phase = 0; phase < PageFont::Phases; ++phase)
                m_font.mask(std::uint8_t(b), pixelSize, phase);
        }
    }
    m_prepared = true;
}

void ShapesPainter::paint(QImage& target, std::int64_t top, std::vector<char>& inked)
{
    prepare();
    inked.assign(std::size_t(std::max(target.height(), 0)), char(0));
    const painting::PaintedLines pixels { target.bits(), target.bytesPerLine(), target.width(),
        target.height(), inked.data(), toRgb(m_record->background()) };
    const double pixelSize = html::ShapesFontPixels * m_scale;
    // Glyphs may lean an em out of their cell: the rows that far outside are painted too, in
    // the page's order, so that a row's backgrounds cover what the row above leaned into it.
    const double overhang = pixelSize;
    const double first = std::floor((double(top) - m_margin - overhang) / m_lineHeight);
    const double end
        = std::ceil((double(top + target.height()) - m_margin + overhang) / m_lineHeight);
    const std::int64_t rows = m_record->rowCount();
    for (auto row = std::int64_t(std::max(0.0, first)); row < rows && double(row) < end; ++row) {
        const std::span<const PageRecord::Cell> cells = m_record->rowCells(row);
        const std::span<const PageRecord::Cell> backgrounds = m_record->rowBackgrounds(row);
        const double rowTop = m_margin + double(row) * m_lineHeight;
        // Rounded on the page, then moved to the image, so that every strip finds the same edges.
        const int y0 = int(edge(rowTop) - top);
        const int y1 = int(edge(rowTop + m_lineHeight) - top);
        const int baseline = int(edge(rowTop + m_ascent) - top);
        // Centred rows shorter than the widest sit in its middle.
        const double left = m_margin
            + (m_record->style().centred
                    ? double(m_record->widestRow() - std::int64_t(cells.size())) * m_cellWidth / 2
                    : 0.0);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const double cellLeft = left + double(i) * m_cellWidth;
            const auto x0 = int(edge(cellLeft)), x1 = int(edge(cellLeft + m_cellWidth));
            if (i < backgrounds.size())
                painting::fillRect(
                    pixels, x0, y0, x1, y1, toRgb(PageRecord::colourOf(backgrounds[i])));
            const std::uint8_t b = PageRecord::byteOf(cells[i]);
            const QRgb ink = toRgb(PageRecord::colourOf(cells[i]));
            if (const PageFont::Mask* mask = cellMask(b, x1 - x0, y1 - y0)) {
                if (mask->bits)
                    painting::blendMask(pixels, *mask, x0, y0, ink);
                continue;
            }
            // The pen to the nearest quarter of a pixel, as the web engine puts it.
            const std::int64_t quarters = painting::floorOf(cellLeft * PageFont::Phases + 0.5);
            const std::int64_t pixel
                = quarters / PageFont::Phases - (quarters % PageFont::Phases < 0 ? 1 : 0);
            const PageFont::Mask& mask
                = m_font.mask(b, pixelSize, int(quarters - pixel * PageFont::Phases));
            if (mask.bits)
                painting::blendMask(
                    pixels, mask, int(pixel) + mask.offset.x(), baseline + mask.offset.y(), ink);
        }
    }
}

} // namespace mosaiq
