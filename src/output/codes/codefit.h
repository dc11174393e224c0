#pragma once

#include "convert/gridproportions.h"
#include "convert/rowloop.h"
#include "output/codes/forumdialect.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace mosaiq {

struct GridSize {
    std::int64_t columns = 0;
    std::int64_t rows = 0;
};

// The grid of columns that keeps the picture's proportions on a page whose cells are cellAspect
// times as wide as high (rowsForColumns).
GridSize proportionalGrid(
    std::int64_t columns, std::int32_t width, std::int32_t height, double cellAspect);

// A run whose code is measured for one grid after another.
struct CodeMeasure {
    RunStart start; // its rows are the grid's
    RowInput input; // its columns and rows are the grid's
    const ForumDialect* dialect = nullptr; // the bracket code's; nullptr: the HTML code's
    StyleFlags style; // the tags around the code
    // The run's generator as the real run will start from it: each measure draws from a copy,
    // so the real run's glyphs are those measured.
    RandomGlyphs random;
    // What a size counts: characters, or bytes for a forum that counts them.
    LimitUnit unit = LimitUnit::Characters;
    // The width over the height of the page's cells, by which a grid keeps the picture's
    // proportions.
    double cellAspect = PageCellAspect;
};

struct CodeSize {
    std::size_t characters = 0; // the whole code, style tags included, in the measure's unit
    std::size_t longestPost = 0; // the longest row with the style tags, in the dialect's unit
    bool complete = true; // false when measuring stopped early or the run refused the grid
};

// Measures the code of grid without keeping it, stopping as soon as the characters pass
// stopAbove or a row with its tags passes stopAboveRow.
CodeSize measureCode(const CodeMeasure& measure, GridSize grid, std::size_t stopAbove,
    std::size_t stopAboveRow = SIZE_MAX);

// The largest count from 1 to most for which fits holds, fits(1) being true and fits false from
// some count on: doubling, then halving the interval. Costs about 2 log2(result) calls.
std::int64_t largestFitting(std::int64_t most, const std::function<bool(std::int64_t)>& fits);

struct FitResult {
    bool fits = false;
    GridSize grid; // the largest grid whose code fits; when none does, the smallest grid
    std::size_t characters = 0; // the size of that grid's code
};

// The largest grid keeping the picture's proportions, at most one cell per pixel, whose code is
// at most limit characters.
FitResult fitGrid(const CodeMeasure& measure, std::size_t limit);

// The most columns, up to most and the rows staying rows, for which every row with the style
// tags fits a post of limit (in the dialect's unit); 0 when not even one column does.
std::int64_t columnsForPosts(
    const CodeMeasure& measure, std::int64_t most, std::int64_t rows, std::size_t limit);

} // namespace mosaiq
