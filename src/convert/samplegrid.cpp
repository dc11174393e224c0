#include "convert/samplegrid.h"

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

} // namespace mosaiq
