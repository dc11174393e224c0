#pragma once

#include "web/webconversion.h"
#include "web/webnumbers.h"

#include <cstdint>
#include <utility>

namespace mosaiq {

// The grids whose rows two workers share, a band each (WebConversion::share): from a quarter of
// a million cells, below which the second worker saves less than it costs, to four million,
// past which a second picture in the second worker's memory costs more than it saves.
inline constexpr double SharedFromCells = 250'000;
inline constexpr double SharedToCells = 4'000'000;
// Each worker may decode its own band of a picture (a plain JPEG): no rows go from one to the
// other, and the second holds only its band's, so that grids of any size the page reads are
// shared.
inline constexpr double SharedApartToCells = WebPixelLimit;
// The first worker's share of a shared run's rows: besides its band, it reads back its rows once
// the run is asked (the second has them from it) and makes the page's header, and the page's
// thread takes a part of its core.
inline constexpr double FirstBandShare = 0.45;
// The same for a picture each worker decodes a band of: the second also passes over the first
// band's rows as it decodes its own, and the first reads nothing back, so the first takes more.
inline constexpr double FirstApartShare = 0.52;
inline double firstShare(bool apart)
{
    return apart ? FirstApartShare : FirstBandShare;
}

// The workers that share the run of a grid of cells, parts of them able to: parts within
// [SharedFromCells, SharedToCells] (SharedApartToCells for a picture each worker decodes a band
// of, apart), 1 outside.
int sharingParts(double cells, int parts, bool apart = false);

// The share of a run's rows that the part-th of parts workers makes (firstShare(apart) for the
// first of several); 1 for a run not shared.
double rowShare(int part, int parts, bool apart = false);

// The row (from 0) where band part of parts of a run of rows rows starts; each band has one row
// at least when rows >= parts. firstShare: the first band's share of the rows, the others
// sharing the rest evenly; 0 or less, or 1 or more: all bands even.
std::int64_t bandStart(std::int64_t rows, int part, int parts, double firstShare);

// Whether a run of settings and rows rows may be shared between parts workers at all: its
// bytes do not hang on the rows before a band (no size budget, merged cells or bracket code
// written from the cells), and each band has a row.
bool bandsPossible(const WebSettings& settings, std::int64_t rows, int part, int parts);

// The picture rows, within [0, height - 1], that the grid rows [from, end) of a grid of
// gridRows rows (the rows' divisor, numericValue of the field) sample, with the one before them
// and the one after: rows are counted from 1 when sampled, and reading two rows more costs less
// than hanging on that count. The whole picture when a row lies too far to be sampled.
std::pair<std::int64_t, std::int64_t> rowsSampled(
    std::int64_t from, std::int64_t end, std::int32_t height, double gridRows);

// The picture rows, within [0, height - 1], that the grid rows [from, end) of a grid of rowCount
// rows (the rows' divisor gridRows) cover when their cells are chosen by shape: the whole blocks
// of pixels they match (SampleGrid::blockEdges), which reach past the rows a sample reads. The
// whole picture when the rows are not the grid's.
std::pair<std::int64_t, std::int64_t> rowsCovered(std::int64_t from, std::int64_t end,
    std::int32_t height, double gridRows, std::int64_t rowCount);

// The picture rows that the grid rows [from, end) read: those they sample, and the whole blocks
// of pixels of their cells (rowsCovered) too when blocks count: cells chosen by shape (blocks
// alone), or cells the picture may leave transparent, whose blocks' opacity decides.
std::pair<std::int64_t, std::int64_t> rowsRead(bool shapes, bool transparent, std::int64_t from,
    std::int64_t end, std::int32_t height, double gridRows, std::int64_t rowCount);

// Which picture rows band part of parts of a run reads (rowsRead), worked out from the settings
// alone, with no run started: the rows the page must have read back before the band's first step.
struct BandRows {
    bool banded = false; // bandsPossible: else the rows are the whole run's
    double cells = 0; // the grid's, whose sharingParts() says whether the page shares it
    std::int64_t first = 0; // picture rows, within [0, height - 1]; last < first: no picture
    std::int64_t last = -1;
};
// width x height: the picture's pixels; firstShare as bandStart's. The whole picture when the
// run may not be shared or its sizes are refused; else the rows of WebConversion::sampledRows()
// once the run is started and shared.
BandRows bandRows(const WebSettings& settings, std::int32_t width, std::int32_t height, int part,
    int parts, double firstShare = FirstBandShare);

} // namespace mosaiq
