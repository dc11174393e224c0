#pragma once

#include "convert/colourvalue.h"

#include <cstddef>
#include <cstdint>

namespace mosaiq {

// Rows of a picture still being decoded while the engine reads it, top row first.
class RowArrival {
public:
    virtual ~RowArrival() = default;
    // Returns once row and every row above it hold their pixels, or the decode has ended.
    virtual void waitFor(std::int64_t row) const = 0;
    // Waits for the decode to end; false when the data broke off and the picture is not whole.
    virtual bool complete() const = 0;
};

// A picture as the engine reads it: rows of 32-bit 0xAARRGGBB words (the alpha byte is ignored:
// transparent pixels come drawn on white), top row first, and for a picture with transparent
// pixels their opacity, which only a run that asks for it reads (TransparentCells). The engine
// never owns or loads pictures; whoever does hands it this view.
struct PixelBuffer {
    const std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0; // words from one row to the next
    const RowArrival* arrival = nullptr; // while the rows still arrive; else all are there
    // One byte a pixel, 0 transparent to 255 opaque; nullptr when every pixel is opaque.
    const std::uint8_t* alpha = nullptr;
    std::ptrdiff_t alphaStride = 0; // bytes from one row to the next
    // The first row held, pixels and alpha starting with it: a band of a picture whose rows above
    // the run never reads (a browser worker's share of a photo), kept without their memory.
    std::int32_t firstRow = 0;

    // Row y of the picture (firstRow or below), and its opacity where there is one.
    const std::uint32_t* row(std::int64_t y) const { return pixels + (y - firstRow) * stride; }
    const std::uint8_t* alphaRow(std::int64_t y) const
    {
        return alpha + (y - firstRow) * alphaStride;
    }

    static ColourValue fromArgb(std::uint32_t argb)
    {
        return ColourValue(((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16));
    }
};

} // namespace mosaiq
