#pragma once

#include <cstddef>
#include <cstdint>

namespace mosaiq {

// What a JPEG's markers say, read the way the picture reader reads them.
struct JpegWalk {
    bool cutShort = false; // the data ends (or breaks) before the end-of-image marker
    bool profile = false; // some part of an ICC profile is embedded
    bool adobe = false; // an Adobe marker
    int components = 0; // 1 grey, 3 colour, 4 CMYK or YCCK
    int exifOrientation = 1; // 1-8
};

// Walks the markers of the JPEG held in data, from after its start-of-image marker to its end.
JpegWalk walkJpeg(const std::uint8_t* data, std::size_t size);

} // namespace mosaiq
