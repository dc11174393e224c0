#include "convert/shapedrows.h"

#include "convert/samplegrid.h"
#include "convert/shapematcher.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace mosaiq {

namespace {

    // Cells each thread matches in a batch: enough that starting the threads is lost in the
    // matching (a cell takes about a microsecond), few enough that the rows written wait little.
    constexpr std::int64_t CellsPerThread = 65536;

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

ShapedRows::~ShapedRows() = default;

const ShapedCells& ShapedRows::row(const PixelBuffer& picture, double columns, double rows,
    std::int64_t cells, std::int64_t y, std::int64_t rowCount)
{
    const Grid grid { picture.pixels, picture.width, picture.height, picture.stride, columns, rows,
        cells, rowCount };
    if (!(grid == m_grid)) {
        m_grid = grid;
        SampleGrid::blockEdges(m_left, m_width, cells, picture.width, columns);
        SampleGrid::blockEdges(m_top, m_height, rowCount, picture.height, rows);
        m_first = 0;
    }
    if (m_first == 0 || y < m_first || y >= m_first + m_count) {
        const std::int64_t perThread
            = std::max<std::int64_t>(1, CellsPerThread / std::max<std::int64_t>(cells, 1));
        const std::int64_t count
            = std::clamp<std::int64_t>(perThread * std::int64_t(m_threads), 1, rowCount - y + 1);
        matchBatch(picture, y, std::max<std::int64_t>(count, 1));
    }
    return m_batch[std::size_t(y - m_first)];
}

void ShapedRows::matchBatch(const PixelBuffer& picture, std::int64_t first, std::int64_t count)
{
    m_first = first;
    m_count = count;
    if (m_batch.size() < std::size_t(count))
        m_batch.resize(std::size_t(count));
    // A row of the grid past those planned (the window may add rows) has no block: it is matched
    // on the last block.
    const std::int64_t last = std::min(first + count - 1, std::int64_t(m_top.size()));
    if (picture.arrival && last >= 1)
        picture.arrival->waitFor(
            m_top[std::size_t(last - 1)] + m_height[std::size_t(last - 1)] - 1);

    std::atomic<std::int64_t> next { first };
    auto work = [&](std::size_t thread) {
        for (std::int64_t y = next++; y < first + count; y = next++)
            matchRow(thread, picture, y);
    };
    const std::size_t helpers = std::min<std::size_t>(m_threads, std::size_t(count)) - 1;
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    // Joined however this thread leaves (std::jthread, which the browser's library lacks).
    struct Joined {
        std::vector<std::thread>& threads;
        ~Joined()
        {
            for (std::thread& thread : threads)
                thread.join();
        }
    } joined { threads };
    try {
        for (std::size_t t = 1; t <= helpers; ++t)
            threads.emplace_back(work, t);
    } catch (const std::system_error&) {
        // Fewer threads: the others take their rows.
    }
    work(0);
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

    ShapedCells& row = m_batch[std::size_t(y - m_first)];
    const auto cells = std::size_t(m_grid.cells);
    row.characters.resize(cells);
    row.foregrounds.resize(cells);
    row.backgrounds.resize(cells);
    row.textCharacters.resize(textMatcher ? cells : 0);
    row.textForegrounds.resize(textMatcher ? cells : 0);
    const std::size_t block
        = std::size_t(std::clamp<std::int64_t>(y, 1, std::int64_t(m_top.size())) - 1);
    const std::int32_t top = m_top.empty() ? 0 : m_top[block];
    const std::int32_t height = m_top.empty() || !picture.pixels ? 0 : m_height[block];
    for (std::size_t i = 0; i < cells; ++i) {
        const std::uint32_t* pixels = picture.pixels
            ? picture.pixels + std::ptrdiff_t(top) * picture.stride + m_left[i]
            : nullptr;
        const std::int32_t width = m_width[i];
        const ShapeChoice choice = matcher->match(pixels, width, height, picture.stride);
        row.characters[i] = choice.character;
        row.foregrounds[i] = colourOf(choice.foreground);
        row.backgrounds[i]
            = m_options.background ? *m_options.background : colourOf(choice.background);
        if (textMatcher) {
            const ShapeChoice text = textMatcher->match(pixels, width, height, picture.stride);
            row.textCharacters[i] = text.character;
            row.textForegrounds[i] = colourOf(text.foreground);
        }
    }
}

} // namespace mosaiq
