#include "samplegrid.h"

#include <cmath>

namespace mosaiq {

std::int64_t SampleGrid::coordinate(std::int64_t index, std::int32_t size, double count)
{
    const double step = (size - 1) / count;
    const double point = std::nearbyint(double(index) * step);
    // Beyond +-2^62 (or NaN) no picture reaches; keep the conversion defined.
    if (!(point > -4.6e18 && point < 4.6e18))
        return Outside;
    return static_cast<std::int64_t>(point);
}

void SampleGrid::columns(std::vector<std::int64_t>& columns, std::int64_t cells, std::int32_t width,
    double count)
{
    columns.resize(static_cast<std::size_t>(cells));
    const double step = (width - 1) / count;
    for (std::int64_t x = 1; x <= cells; ++x) {
        const double point = std::nearbyint(double(x) * step);
        columns[x - 1] = point > -4.6e18 && point < 4.6e18 ? static_cast<std::int64_t>(point) : Outside;
    }
}

} // namespace mosaiq
