#include "jpeg/rowplacement.h"

#include <cstring>

namespace mosaiq {

void placeRows(const std::uint8_t* band, std::ptrdiff_t bandStride, int first, int count, int width,
    int height, int orientation, std::uint32_t* bits, std::ptrdiff_t stride)
{
    if (orientation <= 4) {
        const bool mirror = orientation == 2 || orientation == 3;
        const bool flip = orientation == 3 || orientation == 4;
        for (int r = 0; r < count; ++r) {
            const auto* from = reinterpret_cast<const std::uint32_t*>(band + r * bandStride);
            const int y = first + r;
            std::uint32_t* to = bits + (flip ? height - 1 - y : y) * stride;
            if (!mirror) {
                std::memcpy(to, from, std::size_t(width) * 4);
            } else {
                for (int x = 0; x < width; ++x)
                    to[width - 1 - x] = from[x];
            }
        }
        return;
    }
    // Rows become columns: each stored column is one row of the turned picture, of which the
    // band fills count pixels side by side.
    const bool reverseRows = orientation == 7 || orientation == 8; // column x goes low
    const bool reverseColumns = orientation == 6 || orientation == 7; // row y goes right
    for (int x = 0; x < width; ++x) {
        std::uint32_t* to = bits + (reverseRows ? width - 1 - x : x) * stride;
        const std::uint8_t* from = band + std::ptrdiff_t(x) * 4;
        for (int r = 0; r < count; ++r) {
            const int y = first + r;
            to[reverseColumns ? height - 1 - y : y]
                = *reinterpret_cast<const std::uint32_t*>(from + r * bandStride);
        }
    }
}

} // namespace mosaiq
