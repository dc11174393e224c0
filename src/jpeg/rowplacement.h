#pragma once

#include <cstddef>
#include <cstdint>

namespace mosaiq {

// Writes rows first..first+count of a stored picture of width x height 32-bit pixels, held in
// band (bandStride bytes a row), where the EXIF orientation (1-8) puts them in the turned
// picture at bits (stride words a row).
void placeRows(const std::uint8_t* band, std::ptrdiff_t bandStride, int first, int count, int width,
    int height, int orientation, std::uint32_t* bits, std::ptrdiff_t stride);

} // namespace mosaiq
