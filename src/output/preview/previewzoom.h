#pragma once

#include <array>
#include <cstdint>

namespace mosaiq {

// How large the native preview shows the page: a factor of its size in the web engine
// (1 = 100 %), or the whole page fitted to the pane, each cell a point.
struct PreviewZoom {
    bool fit = false;
    double factor = 1.0;

    friend bool operator==(const PreviewZoom&, const PreviewZoom&) = default;
};

// The steps of Ctrl++ and Ctrl+-: those of common browsers, "fit" below the smallest.
inline constexpr std::array<double, 15> ZoomSteps { 0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
    1.25, 1.5, 1.75, 2.0, 3.0, 4.0 };

// A cell of the page at 100 % where a preview draws the cells without the font's own measures
// (the page in the browser, past what its frame shows): Verdana 7.5 pt, 10 CSS pixels, lays a
// letter about 7 pixels across and a line 12 down.
inline constexpr double DrawnCellWidth = 7;
inline constexpr double DrawnCellHeight = 12;
// The same for a page of cells chosen by shape, in DejaVu Sans Mono at 10 CSS pixels as its style
// sets it (cells 0.6021 em wide, lines 1.1641 em high): the glyphs' baseline lies the font's
// ascender (1901 of its 2048 units) below a cell's top.
inline constexpr double DrawnShapeCellWidth = 6.021;
inline constexpr double DrawnShapeCellHeight = 11.641;
inline constexpr double DrawnShapeBaseline = 9.282;

// One step larger or smaller; the largest and "fit" stay as they are.
PreviewZoom zoomedIn(PreviewZoom zoom);
PreviewZoom zoomedOut(PreviewZoom zoom);

// The lines [first, end) of lineCount that meet the band [top, top + height) of a page whose
// first line starts at firstTop, each lineHeight high; first == end when none does.
struct LineRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
};
LineRange visibleLines(
    double top, double height, double firstTop, double lineHeight, std::int64_t lineCount);

// The scroll position (pixels of the view) that keeps the page point under anchor (pixels from
// the view's edge) where it is when the zoom goes from oldFactor to newFactor, within
// [0, maximum].
double scrollAfterZoom(
    double scroll, double anchor, double oldFactor, double newFactor, double maximum);

// Points per cell that fit a grid of columns x rows cells into width x height pixels whole;
// 0 for an empty grid.
double fitScale(std::int64_t columns, std::int64_t rows, double width, double height);

} // namespace mosaiq
