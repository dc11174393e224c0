#include "web/bandrows.h"

#include "convert/numbertext.h"
#include "convert/samplegrid.h"
#include "run/preparedrun.h"
#include "run/runchoices.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace mosaiq {

int sharingParts(double cells, int parts, bool apart)
{
    return parts > 1 && cells >= SharedFromCells
            && cells <= (apart ? SharedApartToCells : SharedToCells)
        ? parts
        : 1;
}

double rowShare(int part, int parts, bool apart)
{
    if (parts < 2)
        return 1;
    const double first = firstShare(apart);
    return part == 0 ? first : (1 - first) / (parts - 1);
}

std::int64_t bandStart(std::int64_t rows, int part, int parts, double firstShare)
{
    if (!(firstShare > 0 && firstShare < 1) || part == 0)
        return rows * part / parts;
    const std::int64_t second
        = std::clamp<std::int64_t>(std::int64_t(double(rows) * firstShare), 1, rows - (parts - 1));
    return second + (rows - second) * (part - 1) / (parts - 1);
}

std::pair<std::int64_t, std::int64_t> rowsSampled(
    std::int64_t from, std::int64_t end, std::int32_t height, double gridRows)
{
    const std::int64_t first = SampleGrid::coordinate(from, height, gridRows);
    const std::int64_t last = SampleGrid::coordinate(end + 1, height, gridRows);
    if (first == SampleGrid::Outside || last == SampleGrid::Outside || last < first)
        return { 0, height - 1 };
    return { std::clamp<std::int64_t>(first, 0, height - 1),
        std::clamp<std::int64_t>(last, 0, height - 1) };
}

std::pair<std::int64_t, std::int64_t> rowsCovered(std::int64_t from, std::int64_t end,
    std::int32_t height, double gridRows, std::int64_t rowCount)
{
    if (from < 0 || end <= from || end > rowCount)
        return { 0, height - 1 };
    std::vector<std::int32_t> edges, spans;
    SampleGrid::blockEdges(edges, spans, rowCount, height, gridRows);
    const auto last = std::size_t(end - 1);
    return { std::clamp<std::int64_t>(edges[std::size_t(from)], 0, height - 1),
        std::clamp<std::int64_t>(std::int64_t(edges[last]) + spans[last] - 1, 0, height - 1) };
}

std::pair<std::int64_t, std::int64_t> rowsRead(bool shapes, bool transparent, std::int64_t from,
    std::int64_t end, std::int32_t height, double gridRows, std::int64_t rowCount)
{
    if (shapes)
        return rowsCovered(from, end, height, gridRows, rowCount);
    const auto sampled = rowsSampled(from, end, height, gridRows);
    if (!transparent)
        return sampled;
    const auto covered = rowsCovered(from, end, height, gridRows, rowCount);
    return { std::min(sampled.first, covered.first), std::max(sampled.second, covered.second) };
}

bool bandsPossible(const WebSettings& settings, std::int64_t rows, int part, int parts)
{
    const bool merged = settings.mergeTolerance.has_value();
    return !settings.fitLimit && !merged && !bracketCodeFromCells(settings.dialect, merged)
        && parts >= 2 && part >= 0 && part < parts && rows >= parts;
}

BandRows bandRows(const WebSettings& settings, std::int32_t width, std::int32_t height, int part,
    int parts, double firstShare)
{
    if (width <= 0 || height <= 0)
        return {};
    BandRows band { false, 0, 0, height - 1 };
    // The grid as the run prepares it; a run it refuses, or one whose grid a budget measures,
    // is none to share.
    RunOptions options = settings;
    if (settings.fitLimit || !readSizeFields(options, true).empty())
        return band;
    const PreparedRun run
        = prepareRun(options, { "image", PixelBuffer { nullptr, width, height, width } }, {});
    if (!run.refusal.empty())
        return band;
    const double rowValue = run.input.rows;
    const std::int64_t rows = loopCount(rowValue);
    const std::int64_t columns = loopCount(run.input.columns);
    band.cells = double(rows) * double(columns);
    if (!bandsPossible(settings, rows, part, parts))
        return band;
    const std::int64_t from = bandStart(rows, part, parts, firstShare);
    const std::int64_t end = part < parts - 1 ? bandStart(rows, part + 1, parts, firstShare) : rows;
    band.banded = true;
    std::tie(band.first, band.last) = rowsRead(run.start.shapes.has_value(),
        run.start.transparentBackground, from, end, height, rowValue, rows);
    return band;
}

} // namespace mosaiq
