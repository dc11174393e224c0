#pragma once

#include "convert/pixelbuffer.h"

#include <cstdint>
#include <vector>

namespace mosaiq {

// A picture whose neighbouring pixels share nothing: every colour hashed from its place, the same
// on every run, so that each cell of a grid over it differs from the next.
struct NoisePicture {
    NoisePicture(std::int32_t width, std::int32_t height)
        : pixels(std::size_t(width * height))
        , buffer { pixels.data(), width, height, width }
    {
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint32_t(i * 2654435761u);
    }
    NoisePicture(const NoisePicture&) = delete;
    NoisePicture& operator=(const NoisePicture&) = delete;

    std::vector<std::uint32_t> pixels;
    PixelBuffer buffer;
};

} // namespace mosaiq
