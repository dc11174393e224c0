#include "output/painting/pagepainter.h"

#include "output/painting/paintedlines.h"
#include "output/preview/previewzoom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace mosaiq {

namespace {

    QRgb toRgb(ColourValue colour)
    {
        return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    }

    // Glyphs may lean this many ems out of their cell; cells that far outside are painted too.
    constexpr double Overhang = 1.0;

    // A device pixel edge, clamped far outside any image so that it fits an int.
    int edge(double value)
    {
        return int(std::lround(std::clamp(value, -1e9, 1e9)));
    }

} // namespace

PagePainter::PagePainter(std::shared_ptr<const PageRecord> record, const QString& family)
    : m_font(family, record->style(), record->characters())
    , m_layout(record, m_font.metrics())
    , m_background(toRgb(record->background()))
{
    m_inkShares.fill(-1);
}

std::uint32_t PagePainter::inkShare(std::uint8_t b) const
{
    std::int16_t& share = m_inkShares[b];
    if (share < 0) {
        const double cell = m_layout.metrics().advance[b] * m_layout.lineHeight();
        const double ink = cell > 0 ? m_font.inkArea(b) / cell : 0;
        share = std::int16_t(std::lround(std::clamp(ink, 0.0, 1.0) * 256));
    }
    return std::uint32_t(share);
}

void PagePainter::makeInkShares() const
{
    for (int b = 0; b < 256; ++b) {
        if (record().usesByte(std::uint8_t(b)))
            inkShare(std::uint8_t(b));
    }
}

std::array<std::uint32_t, 3> PagePainter::distantColour(PageRecord::Cell cell, bool square) const
{
    const ColourValue colour = PageRecord::colourOf(cell);
    const std::uint32_t ink = square ? 256 : inkShare(PageRecord::byteOf(cell));
    const ColourValue ground = record().background();
    std::array<std::uint32_t, 3> mixed {};
    for (std::size_t channel = 0; channel < 3; ++channel) {
        const int shift = int(channel) * 8;
        mixed[channel]
            = ((colour >> shift) & 0xFF) * ink + ((ground >> shift) & 0xFF) * (256 - ink);
    }
    return mixed;
}

QSizeF PagePainter::textSize(double zoom, double viewWidth) const
{
    return { m_layout.pageWidth(viewWidth / zoom) * zoom, m_layout.pageHeight() * zoom };
}

void PagePainter::paintText(
    QImage& target, QPointF scroll, double zoom, double viewWidth, std::vector<char>* inked)
{
    if (inked)
        inked->assign(std::size_t(std::max(target.height(), 0)), char(0));
    else
        target.fill(m_background);
    if (zoom <= 0)
        return;
    const double ratio = target.devicePixelRatio();
    const double scale = zoom * ratio; // device pixels per CSS pixel
    const GlyphMetrics& metrics = m_layout.metrics();
    const double layoutWidth = viewWidth / zoom;
    // The band of the page in view, CSS pixels, with room for glyphs leaning into it.
    const double left = scroll.x() / zoom, top = scroll.y() / zoom;
    const double right = left + target.width() / scale, bottom = top + target.height() / scale;
    const double overhang = Overhang * 10;
    const LineRange lines = visibleLines(top - overhang, bottom - top + 2 * overhang,
        PageLayout::Margin, m_layout.lineHeight(), m_layout.rowCount());
    const double pixelSize = 10 * scale;
    auto deviceX = [&](double x) { return (x - left) * scale; };
    auto deviceY = [&](double y) { return (y - top) * scale; };
    const painting::PaintedLines pixels { target.bits(), target.bytesPerLine(), target.width(),
        target.height(), inked ? inked->data() : nullptr, m_background };
    const bool prepared = m_preparedScale > 0 && m_preparedScale == scale;
    // With AVX2 the glyphs are blended a few dozen at a time, in their order; a row's before
    // the next row's squares cover them.
#if defined(__SSE2__)
    const bool batched = painting::hasAvx2();
#else
    const bool batched = false;
#endif
    std::array<painting::PaintedLines::Glyph, 64> glyphs;
    std::size_t pending = 0;
    auto blendPending = [&] {
#if defined(__SSE2__)
        if (pending > 0)
            painting::blendGlyphs(pixels, glyphs.data(), int(pending));
#endif
        pending = 0;
    };

    for (std::int64_t row = lines.first; row < lines.end; ++row) {
        const std::span<const PageRecord::Cell> cells = record().rowCells(row);
        const double rowLeft = m_layout.rowLeft(row, layoutWidth);
        const double boxTop = m_layout.lineTop(row) + metrics.lineGap / 2;
        const bool square = record().rowMode(row) == CellMode::Square;
        const int blockTop = edge(deviceY(boxTop));
        const int blockBottom = edge(deviceY(boxTop + metrics.ascent + metrics.descent));
        const int baseline = edge(deviceY(boxTop + metrics.ascent));
        // With every glyph made, a row whose ink cannot reach the image is passed over: the
        // overhang of the lines in view is for glyphs not made yet.
        if (prepared
            && (square ? blockBottom <= 0 || blockTop >= target.height()
                       : baseline + m_inkBottom <= 0 || baseline + m_inkTop >= target.height()))
            continue;
        m_layout.forCells(row, left - rowLeft - overhang, right - rowLeft + overhang,
            [&](std::int64_t i, double cellLeft, double cellRight) {
                const PageRecord::Cell cell = cells[std::size_t(i)];
                const QRgb colour = toRgb(PageRecord::colourOf(cell));
                if (square) {
                    // The span's background covers the glyph's advance and the line's box;
                    // the glyph on it has the same colour.
                    painting::fillRect(pixels, edge(deviceX(rowLeft + cellLeft)), blockTop,
                        edge(deviceX(rowLeft + cellRight)), blockBottom, colour);
                    return;
                }
                // The pen to the nearest quarter of a pixel, as the web engine puts it.
                const std::int64_t quarters = painting::floorOf(
                    std::clamp(deviceX(rowLeft + cellLeft), -1e9, 1e9) * PageFont::Phases + 0.5);
                const std::int64_t pixel
                    = quarters / PageFont::Phases - (quarters % PageFont::Phases < 0 ? 1 : 0);
                const PageFont::Mask& mask = m_font.mask(
                    PageRecord::byteOf(cell), pixelSize, int(quarters - pixel * PageFont::Phases));
                if (!mask.bits)
                    return;
                const int glyphLeft = int(pixel) + mask.offset.x();
                const int glyphTop = baseline + mask.offset.y();
                if (!batched) {
                    painting::blendMask(pixels, mask, glyphLeft, glyphTop, colour);
                    return;
                }
                glyphs[pending++] = { &mask, glyphLeft, glyphTop, colour };
                if (pending == glyphs.size())
                    blendPending();
            });
        blendPending();
    }
}

void PagePainter::prepareText(double scale)
{
    m_layout.measureRows(std::numeric_limits<std::int64_t>::max());
    int top = 0, bottom = 0;
    for (int b = 0; b < 256; ++b) {
        if (record().usesByte(std::uint8_t(b))) {
            for (int phase = 0; phase < PageFont::Phases; ++phase) {
                const PageFont::Mask& mask = m_font.mask(std::uint8_t(b), 10 * scale, phase);
                if (!mask.coverage.isNull()) {
                    top = std::min(top, mask.offset.y());
                    bottom = std::max(bottom, mask.offset.y() + mask.coverage.height());
                }
            }
        }
    }
    // A record still growing may bring glyphs not made yet.
    m_preparedScale = record().complete() ? scale : 0;
    m_inkTop = top;
    m_inkBottom = bottom;
}

std::int64_t PagePainter::pointOffset(std::int64_t row) const
{
    if (!record().style().centred)
        return 0;
    return (record().widestRow() - std::int64_t(record().rowCells(row).size())) / 2;
}

void PagePainter::paintPoints(QImage& target, QPointF origin, double pointsPerCell) const
{
    target.fill(m_background);
    const double ratio = target.devicePixelRatio();
    const double cellPixels = pointsPerCell * ratio;
    if (cellPixels <= 0 || pointRows() == 0)
        return;
    // The column under each device pixel's centre, the same for every line.
    const int width = target.width();
    std::vector<std::int64_t> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[std::size_t(x)]
            = std::int64_t(std::floor((x + 0.5 - origin.x() * ratio) / cellPixels));
    for (int y = 0; y < target.height(); ++y) {
        const double row = std::floor((y + 0.5 - origin.y() * ratio) / cellPixels);
        if (row < 0 || row >= double(pointRows()))
            continue;
        const std::span<const PageRecord::Cell> cells = record().rowCells(std::int64_t(row));
        const std::int64_t offset = pointOffset(std::int64_t(row));
        const bool square = record().rowMode(std::int64_t(row)) == CellMode::Square;
        auto* line = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::int64_t column = columns[std::size_t(x)] - offset;
            if (column >= 0 && column < std::int64_t(cells.size())) {
                const auto mixed = distantColour(cells[std::size_t(column)], square);
                line[x] = qRgb(int((mixed[0] + 128) / 256), int((mixed[1] + 128) / 256),
                    int((mixed[2] + 128) / 256));
            }
        }
    }
}

QSize PagePainter::cellImageSize(int factor) const
{
    factor = std::max(factor, 1);
    return { int((pointColumns() + factor - 1) / factor),
        int((pointRows() + factor - 1) / factor) };
}

QImage PagePainter::cellImage(int factor) const
{
    const QSize size = cellImageSize(factor);
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (!image.isNull())
        averageCells(image, factor, 0, size.height());
    return image;
}

void PagePainter::averageCells(QImage& image, int factor, int first, int end) const
{
    factor = std::max(factor, 1);
    makeInkShares();
    const auto columns = std::size_t(image.width());
    // Sums of red, green and blue per block and the cells counted; the points of the grid that
    // a short row leaves empty count as background. Blocks at the grid's right and bottom edges
    // cover less of it.
    std::vector<std::uint64_t> sums(columns * 3);
    std::vector<std::int64_t> counted(columns);
    const ColourValue background = record().background();
    const auto within = [factor](std::int64_t block, std::int64_t size) {
        return std::min<std::int64_t>(factor, size - block * factor);
    };
    for (int blockRow = first; blockRow < std::min(end, image.height()); ++blockRow) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counted.begin(), counted.end(), 0);
        const std::int64_t firstRow = std::int64_t(blockRow) * factor;
        const std::int64_t endRow = std::min(firstRow + factor, pointRows());
        for (std::int64_t row = firstRow; row < endRow; ++row) {
            const std::span<const PageRecord::Cell> cells = record().rowCells(row);
            const bool square = record().rowMode(row) == CellMode::Square;
            std::int64_t column = pointOffset(row);
            // A block's worth of cells at a time, so that no cell costs a division.
            for (std::size_t i = 0; i < cells.size();) {
                const auto block = std::size_t(column / factor);
                const std::size_t count = std::min(
                    cells.size() - i, std::size_t((std::int64_t(block) + 1) * factor - column));
                // Each cell's colour weighed by its ink, and the background by what the ink
                // leaves of the cells.
                std::uint64_t red = 0, green = 0, blue = 0, inked = 0;
                for (std::size_t k = i; k < i + count; ++k) {
                    const PageRecord::Cell cell = cells[k];
                    const std::uint32_t ink
                        = square ? 256 : std::uint32_t(m_inkShares[PageRecord::byteOf(cell)]);
                    red += (cell & 0xFF) * ink;
                    green += ((cell >> 8) & 0xFF) * ink;
                    blue += ((cell >> 16) & 0xFF) * ink;
                    inked += ink;
                }
                const std::uint64_t bare = 256 * std::uint64_t(count) - inked;
                if (block < columns) {
                    sums[block * 3] += red + bare * (background & 0xFF);
                    sums[block * 3 + 1] += green + bare * ((background >> 8) & 0xFF);
                    sums[block * 3 + 2] += blue + bare * ((background >> 16) & 0xFF);
                    counted[block] += std::int64_t(count);
                }
                i += count;
                column += std::int64_t(count);
            }
        }
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(blockRow));
        const std::int64_t height = within(blockRow, pointRows());
        for (std::size_t block = 0; block < columns; ++block) {
            const std::int64_t area
                = std::max<std::int64_t>(1, within(std::int64_t(block), pointColumns()) * height);
            const auto empty = std::uint64_t(std::max<std::int64_t>(0, area - counted[block]));
            // The sums are in 256ths of a level.
            const auto mean = [&](std::size_t channel, int shift) {
                const std::uint64_t whole = std::uint64_t(area) * 256;
                return int(
                    (sums[block * 3 + channel]
                        + empty * 256 * std::uint64_t((background >> shift) & 0xFF) + whole / 2)
                    / whole);
            };
            line[block] = qRgb(mean(0, 0), mean(1, 8), mean(2, 16));
        }
    }
}

QImage PagePainter::renderText(double scale, const QRectF& region)
{
    m_layout.measureRows(std::numeric_limits<std::int64_t>::max());
    const double viewWidth = m_layout.pageWidth(0);
    const QRectF area = region.isEmpty() ? QRectF(0, 0, viewWidth, m_layout.pageHeight()) : region;
    QImage image(int(std::ceil(area.width() * scale)), int(std::ceil(area.height() * scale)),
        QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(scale);
    paintText(image, area.topLeft(), 1.0, viewWidth);
    return image;
}

QImage PagePainter::renderPoints(double scale) const
{
    QImage image(int(std::ceil(double(pointColumns()) * scale)),
        int(std::ceil(double(pointRows()) * scale)), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(scale);
    paintPoints(image, QPointF(0, 0), 1.0);
    return image;
}

} // namespace mosaiq
