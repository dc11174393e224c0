#include "convert/shapedrows.h"

#include "convert/samplegrid.h"
#include "convert/shapematcher.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace mosaiq {

namespace {

    // Cells each thread matches in a batch: enough that starting the threads is lost in the
    // matching, few enough that the rows of a batch, written while the next is matched, stay in
    // the caches rather than in fresh pages (at one pixel a cell, the run's cost).
    constexpr std::int64_t CellsPerThread = 16384;

    std::uint32_t rgbOf(ColourValue colour)
    {
        const auto bits = static_cast<std::uint32_t>(colour);
        return ((bits & 0xFF) << 16) | (bits & 0xFF00) | ((bits >> 16) & 0xFF);
    }

    ColourValue colourOf(std::uint32_t rgb)
    {
        return PixelBuffer::fromArgb(rgb);
    }

} // namespace

ShapedRows::ShapedRows(const ShapeOptions& options)
    : m_options(options)
    , m_threads(options.threads > 0 ? std::size_t(options.threads)
                                    : std::max(1u, std::thread::hardware_concurrency()))
{
#ifdef __EMSCRIPTEN__
    // The browser's module has no threads of its own: the page shares a run between workers.
    m_threads = 1;
#endif
    m_matchers.resize(2 * m_threads);
}

ShapedRows::~ShapedRows()
{
    finishComing(nullptr);
}

const ShapedCells& ShapedRows::row(const PixelBuffer& picture, double columns, double rows,
    std::int64_t cells, std::int64_t y, std::int64_t rowCount)
{
    const Grid grid { picture.pixels, picture.width, picture.height, picture.stride,
        picture.firstRow, columns, rows, cells, rowCount };
    if (!(grid == m_grid)) {
        // The rows coming were matched on the grid before: they are dropped.
        finishComing(nullptr);
        m_coming.first = 0;
        m_grid = grid;
        SampleGrid::blockEdges(m_left, m_width, cells, picture.width, columns);
        SampleGrid::blockEdges(m_top, m_height, rowCount, picture.height, rows);
        m_ready.first = 0;
    }
    if (!m_ready.holds(y)) {
        const std::int64_t perThread
            = std::max<std::int64_t>(1, CellsPerThread / std::max<std::int64_t>(cells, 1));
        const std::int64_t count = std::clamp<std::int64_t>(
            perThread * std::int64_t(m_threads), 1, std::max<std::int64_t>(rowCount - y + 1, 1));
        if (m_coming.first != y) {
            finishComing(nullptr);
            startComing(picture, y, count);
        }
        finishComing(&picture);
        std::swap(m_ready, m_coming);
        m_coming.first = 0;
        // The next batch is matched by the helpers while the run writes this one; with one
        // thread, when it is asked for.
        const std::int64_t next = m_ready.first + m_ready.count;
        if (m_threads > 1 && next <= rowCount)
            startComing(picture, next, std::min(count, rowCount - next + 1));
    }
    return m_ready.rows[std::size_t(y - m_ready.first)];
}

void ShapedRows::startComing(const PixelBuffer& picture, std::int64_t first, std::int64_t count)
{
    m_coming.first = first;
    m_coming.count = count;
    if (m_coming.rows.size() < std::size_t(count))
        m_coming.rows.resize(std::size_t(count));
    m_next = first;
    const std::size_t helpers = std::min<std::size_t>(m_threads, std::size_t(count)) - 1;
    m_helpers.reserve(helpers);
    try {
        for (std::size_t t = 1; t <= helpers; ++t)
            m_helpers.emplace_back([this, t, copy = picture] { work(copy, t); });
    } catch (const std::system_error&) {
        // Fewer threads: the others take their rows.
    }
}

void ShapedRows::finishComing(const PixelBuffer* picture)
{
    if (m_coming.first == 0)
        return;
    if (picture)
        work(*picture, 0);
    else
        m_next = m_coming.first + m_coming.count;
    for (std::thread& helper : m_helpers)
        helper.join();
    m_helpers.clear();
}

void ShapedRows::work(const PixelBuffer& picture, std::size_t thread)
{
    const std::int64_t end = m_coming.first + m_coming.count;
    for (std::int64_t y = m_next++; y < end; y = m_next++)
        matchRow(thread, picture, y);
}

void ShapedRows::matchRow(std::size_t thread, const PixelBuffer& picture, std::int64_t y)
{
    auto& matcher = m_matchers[2 * thread];
    if (!matcher) {
        std::optional<std::uint32_t> background;
        if (m_options.background)
            background = rgbOf(*m_options.background);
        matcher = std::make_unique<ShapeMatcher>(m_options.set, background);
    }
    auto& textMatcher = m_matchers[2 * thread + 1];
    if (m_options.textBackground && !textMatcher)
        textMatcher
            = std::make_unique<ShapeMatcher>(m_options.set, rgbOf(*m_options.textBackground));

    ShapedCells& row = m_coming.rows[std::size_t(y - m_coming.first)];
    const auto cells = std::size_t(m_grid.cells);
    row.glyphs.resize(cells);
    row.foregrounds.resize(cells);
    row.backgrounds.resize(cells);
    row.textGlyphs.resize(textMatcher ? cells : 0);
    row.textForegrounds.resize(textMatcher ? cells : 0);
    const std::size_t block
        = std::size_t(std::clamp<std::int64_t>(y, 1, std::int64_t(m_top.size())) - 1);
    const std::int32_t top = m_top.empty() ? 0 : m_top[block];
    const std::int32_t height = m_top.empty() || !picture.pixels ? 0 : m_height[block];
    if (picture.arrival && height > 0)
        picture.arrival->waitFor(top + height - 1);
    // At one pixel a cell, every cell is of one colour: asked of the matcher, the answers would
    // cost as much as writing the row.
    const bool pixelsFill = picture.pixels && height == 1 && matcher->fillsUniformBlocks()
        && (!textMatcher || textMatcher->fillsUniformBlocks());
    for (std::size_t i = 0; i < cells; ++i) {
        const std::uint32_t* pixels = picture.pixels ? picture.row(top) + m_left[i] : nullptr;
        const std::int32_t width = m_width[i];
        if (pixelsFill && width == 1) {
            const ColourValue colour = PixelBuffer::fromArgb(*pixels);
            row.glyphs[i] = matcher->fullestGlyph();
            row.foregrounds[i] = colour;
            row.backgrounds[i] = m_options.background ? *m_options.background : colour;
            if (textMatcher) {
                row.textGlyphs[i] = textMatcher->fullestGlyph();
                row.textForegrounds[i] = colour;
            }
            continue;
        }
        const ShapeChoice choice = matcher->match(pixels, width, height, picture.stride);
        row.glyphs[i] = choice.glyph;
        row.foregrounds[i] = colourOf(choice.foreground);
        row.backgrounds[i]
            = m_options.background ? *m_options.background : colourOf(choice.background);
        if (textMatcher) {
            const ShapeChoice text = textMatcher->match(pixels, width, height, picture.stride);
            row.textGlyphs[i] = text.glyph;
            row.textForegrounds[i] = colourOf(text.foreground);
        }
    }
}

} // namespace mosaiq
