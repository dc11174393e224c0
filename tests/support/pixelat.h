#pragma once

#include "convert/pixelbuffer.h"

namespace mosaiq {

// The ColourValue (0x00BBGGRR) of pixel (x, y) of buffer, or -1 outside the picture.
inline ColourValue pixelAt(const PixelBuffer& buffer, std::int64_t x, std::int64_t y)
{
    if (x < 0 || y < 0 || x >= buffer.width || y >= buffer.height)
        return InvalidColour;
    return PixelBuffer::fromArgb(buffer.pixels[y * buffer.stride + x]);
}

} // namespace mosaiq
