#include "convert/samplegrid.h"

#include <algorithm>
#include <cmath>

namespace mosaiq {

namespace {

    // Cell index times step, to the nearest integer with ties to even.
    std::int64_t nearestPoint(std::int64_t index, double step)
    {
        const double point = std::nearbyint(double(index) * step);
        // Beyond +-2^62 (or NaN) no picture reaches; keep the conversion defined.
        if (!(point > -4.6e18 && point < 4.6e18))
            return SampleGrid::Outside;
        return static_cast<std::int64_t>(point);
    }

} // namespace

std::int64_t SampleGrid::coordinate(std::int64_t index, std::int32_t size, double count)
{
    return nearestPoint(index, (size - 1) / count);
}

void SampleGrid::columns(
    std::vector<std::int64_t>& columns, std::int64_t cells, std::int32_t width, double count)
{
    columns.resize(static_cast<std::size_t>(cells));
    const double step = (width - 1) / count;
    for (std::int64_t x = 1; x <= cells; ++x)
        columns[x - 1] = nearestPoint(x, step);
}

void SampleGrid::blockEdges(std::vector<std::int32_t>& edges, std::vector<std::int32_t>& spans,
    std::int64_t cells, std::int32_t size, double count)
{
    edges.resize(static_cast<std::size_t>(cells));
    spans.resize(static_cast<std::size_t>(cells));
    const double step = size / count;
    auto edge = [&](std::int64_t index) {
        const double point = std::nearbyint(double(index) * step);
        if (!(point > 0))
            return std::int32_t(0);
        return point < size ? std::int32_t(point) : size;
    };
    std::int32_t next = edge(0);
    for (std::int64_t i = 0; i < cells; ++i) {
        const std::int32_t begin = std::min(next, std::max(size - 1, 0));
        next = edge(i + 1);
        edges[std::size_t(i)] = begin;
        spans[std::size_t(i)] = std::min(std::max(next - begin, 1), size - begin);
    }
}

} // namespace mosaiq
