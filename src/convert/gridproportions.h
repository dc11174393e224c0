#pragma once

#include "convert/glyphshapes.h"

#include <cstdint>

namespace mosaiq {

// The width over the height of the page's average cell: Verdana 7.5 pt (10 pixels), the page's
// font, a line of 12 pixels as browsers lay it out (ascent 10.05 and descent 2.10 rounded each),
// and the mean advance of the 95 printable ASCII characters, 6.147 pixels (Verdana's published
// widths, 614.7 thousandths of an em on average; Verdana is not a Debian font). Where Verdana is
// missing the page falls back to DejaVu Sans: Qt's QFontMetricsF gives 5.971 pixels over a line
// of 11, 0.543, which a picture stretched by 6 % shows little.
inline constexpr double PageCellAspect = 6.147 / 12.0;

// The cell of the shapes' font, DejaVu Sans Mono, for a page drawn in it.
inline constexpr double ShapeCellAspect = ShapeFontCellAspect;

// The other side of a grid that keeps a picture of width x height pixels in its proportions on the
// page, where a cell is cellAspect times as wide as high: rows = columns x height x cellAspect /
// width, and columns = rows x width / (height x cellAspect), in double precision in that order,
// rounded to the nearest whole number (halves up) and at least 1, however thin the picture. A
// picture, a given side or an aspect of no size gives 1.
std::int64_t rowsForColumns(
    std::int64_t width, std::int64_t height, double columns, double cellAspect);
std::int64_t columnsForRows(
    std::int64_t width, std::int64_t height, double rows, double cellAspect);

} // namespace mosaiq
