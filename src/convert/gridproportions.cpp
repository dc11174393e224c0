#include "convert/gridproportions.h"

#include <algorithm>
#include <cmath>

namespace mosaiq {

namespace {

    // Largest count the result may take: far beyond any grid, well within the integer.
    constexpr double Most = 1e15;

    std::int64_t wholeCount(double count)
    {
        if (!(count >= 1)) // NaN too
            return 1;
        return std::int64_t(std::round(std::min(count, Most)));
    }

} // namespace

std::int64_t rowsForColumns(
    std::int64_t width, std::int64_t height, double columns, double cellAspect)
{
    if (width <= 0 || height <= 0 || !(columns > 0) || !(cellAspect > 0))
        return 1;
    return wholeCount(columns * double(height) * cellAspect / double(width));
}

std::int64_t columnsForRows(std::int64_t width, std::int64_t height, double rows, double cellAspect)
{
    if (width <= 0 || height <= 0 || !(rows > 0) || !(cellAspect > 0))
        return 1;
    return wholeCount(rows * double(width) / (double(height) * cellAspect));
}

} // namespace mosaiq
