#include "output/codes/codefit.h"

#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace mosaiq {

namespace {

    class NullPage : public PageSink {
    public:
        bool writeLine(std::string_view) override { return true; }
    };

    class HtmlCodeSize : public RowSink {
    public:
        explicit HtmlCodeSize(LimitUnit unit)
            : m_unit(unit)
        {
        }
        void rowBuilt(const BuiltRow& row) override { m_characters += sizeIn(row.html, m_unit); }
        std::size_t characters() const { return m_characters; }

    private:
        LimitUnit m_unit;
        std::size_t m_characters = 0;
    };

} // namespace

GridSize proportionalGrid(
    std::int64_t columns, std::int32_t width, std::int32_t height, double cellAspect)
{
    return { columns, rowsForColumns(width, height, double(columns), cellAspect) };
}

CodeSize measureCode(
    const CodeMeasure& measure, GridSize grid, std::size_t stopAbove, std::size_t stopAboveRow)
{
    RunStart start = measure.start;
    start.rows = double(grid.rows);
    RowInput input = measure.input;
    input.columns = double(grid.columns);
    input.rows = double(grid.rows);
    FixedSettings settings(input, measure.style);
    NullPage page;
    RandomGlyphs random = measure.random;
    RowLoop loop(start, settings, page, random);

    std::optional<BracketCode> bracket;
    HtmlCodeSize html(measure.unit);
    std::size_t tags = 0, postTags = 0;
    if (measure.dialect) {
        bracket.emplace(*measure.dialect, grid.rows, false,
            measure.start.bestRuns ? measure.start.colourForms : ColourForms {});
        loop.addSink(*bracket);
        const std::string open = bracket->openingTags(measure.style);
        const std::string close = bracket->closingTags(measure.style);
        tags = sizeIn(open, measure.unit) + sizeIn(close, measure.unit);
        postTags = sizeIn(open, measure.dialect->unit) + sizeIn(close, measure.dialect->unit);
    } else {
        loop.addSink(html);
        std::string wrappers;
        WrapHtmlCode(wrappers, measure.style.bold, measure.style.italic, measure.style.centred);
        tags = sizeIn(wrappers, measure.unit);
    }

    CodeSize size;
    LoopStep step;
    while ((step = loop.step()) == LoopStep::RowWritten) {
        size.characters = tags + (bracket ? bracket->size(measure.unit) : html.characters());
        size.longestPost = bracket ? postTags + bracket->longestRow() : 0;
        if (size.characters > stopAbove || size.longestPost > stopAboveRow) {
            size.complete = false;
            return size;
        }
    }
    if (step != LoopStep::Finished) {
        size.characters = SIZE_MAX;
        size.longestPost = SIZE_MAX;
        size.complete = false;
        return size;
    }
    size.characters = tags + (bracket ? bracket->size(measure.unit) : html.characters());
    return size;
}

std::int64_t largestFitting(std::int64_t most, const std::function<bool(std::int64_t)>& fits)
{
    std::int64_t low = 1; // fits
    std::int64_t high = 0; // the smallest count known not to fit
    for (std::int64_t probe = 2;; probe *= 2) {
        if (probe >= most) {
            if (fits(most))
                return most;
            high = most;
            break;
        }
        if (!fits(probe)) {
            high = probe;
            break;
        }
        low = probe;
    }
    while (high - low > 1) {
        const std::int64_t middle = low + (high - low) / 2;
        (fits(middle) ? low : high) = middle;
    }
    return low;
}

FitResult fitGrid(const CodeMeasure& measure, std::size_t limit)
{
    const std::int32_t width = measure.input.picture.width;
    const std::int32_t height = measure.input.picture.height;
    std::map<std::int64_t, std::size_t> sizes;
    auto sizeOf = [&](std::int64_t columns) {
        auto known = sizes.find(columns);
        if (known == sizes.end())
            known = sizes
                        .emplace(columns,
                            measureCode(measure,
                                proportionalGrid(columns, width, height, measure.cellAspect), limit)
                                .characters)
                        .first;
        return known->second;
    };
    FitResult result;
    result.grid = proportionalGrid(1, width, height, measure.cellAspect);
    result.characters = sizeOf(1);
    if (result.characters > limit || width < 1)
        return result;
    const std::int64_t columns
        = largestFitting(width, [&](std::int64_t c) { return sizeOf(c) <= limit; });
    result.fits = true;
    result.grid = proportionalGrid(columns, width, height, measure.cellAspect);
    result.characters = sizeOf(columns);
    return result;
}

std::int64_t columnsForPosts(
    const CodeMeasure& measure, std::int64_t most, std::int64_t rows, std::size_t limit)
{
    auto fits = [&](std::int64_t columns) {
        return measureCode(measure, { columns, rows }, SIZE_MAX, limit).longestPost <= limit;
    };
    if (!fits(1))
        return 0;
    return largestFitting(std::max<std::int64_t>(1, most), fits);
}

} // namespace mosaiq
