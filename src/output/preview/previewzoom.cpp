#include "output/preview/previewzoom.h"

#include <algorithm>
#include <cmath>

namespace mosaiq {

PreviewZoom zoomedIn(PreviewZoom zoom)
{
    if (zoom.fit)
        return { false, ZoomSteps.front() };
    // The first step beyond the factor, so that a factor between steps goes to the next one.
    const auto* next = std::upper_bound(ZoomSteps.begin(), ZoomSteps.end(), zoom.factor + 1e-9);
    return { false, next == ZoomSteps.end() ? ZoomSteps.back() : *next };
}

PreviewZoom zoomedOut(PreviewZoom zoom)
{
    if (zoom.fit)
        return zoom;
    const auto* below = std::lower_bound(ZoomSteps.begin(), ZoomSteps.end(), zoom.factor - 1e-9);
    if (below == ZoomSteps.begin())
        return { true, zoom.factor };
    return { false, *(below - 1) };
}

LineRange visibleLines(
    double top, double height, double firstTop, double lineHeight, std::int64_t lineCount)
{
    if (lineCount <= 0 || lineHeight <= 0 || height <= 0)
        return {};
    const double from = std::floor((top - firstTop) / lineHeight);
    const double to = std::ceil((top + height - firstTop) / lineHeight);
    const auto clampLine = [lineCount](double line) {
        return std::int64_t(std::clamp(line, 0.0, double(lineCount)));
    };
    const LineRange range { clampLine(from), clampLine(to) };
    return range.first < range.end ? range : LineRange { range.first, range.first };
}

double scrollAfterZoom(
    double scroll, double anchor, double oldFactor, double newFactor, double maximum)
{
    if (oldFactor <= 0 || newFactor <= 0)
        return 0;
    const double wanted = (scroll + anchor) / oldFactor * newFactor - anchor;
    return std::clamp(wanted, 0.0, std::max(0.0, maximum));
}

double fitScale(std::int64_t columns, std::int64_t rows, double width, double height)
{
    if (columns <= 0 || rows <= 0 || width <= 0 || height <= 0)
        return 0;
    return std::min(width / double(columns), height / double(rows));
}

} // namespace mosaiq
