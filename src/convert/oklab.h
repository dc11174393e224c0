#pragma once

#include "convert/glyphshapes.h"

#include <cstdint>
#include <cstring>

namespace mosaiq {

// A colour in OKLab: lightness from 0 (black) to 1 (white), a and b the green-red and blue-yellow
// axes. Straight distances there follow what the eye sees closely enough to fit colours by least
// squares, and it costs a matrix, three cube roots and a matrix from linear light.
//
// Only additions, multiplications and divisions of floats, in a fixed order: with the sRGB table
// made at build time, every build, the browser's module included, gets the same bits, where each
// runtime's own cbrt or pow might differ in the last place and tip a choice.
struct OkLab {
    float l = 0, a = 0, b = 0;
};

namespace oklab {
    // The cube root of x >= 0 (0 for anything smaller): a first guess from the float's bits,
    // then two of Halley's steps, each tripling the digits, to the float's precision.
    inline float cubeRoot(float x)
    {
        if (!(x > 0.0f))
            return 0.0f;
        // std::memcpy, not std::bit_cast, which Debian's emscripten lacks.
        std::uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        bits = bits / 3u + 0x2A5137A0u;
        float y;
        std::memcpy(&y, &bits, sizeof y);
        for (int step = 0; step < 2; ++step) {
            const float cube = y * y * y;
            y = y * (cube + 2.0f * x) / (2.0f * cube + x);
        }
        return y;
    }
} // namespace oklab

// The OKLab of linear-light sRGB red, green and blue, each 0 to 1.
inline OkLab okLabFromLinear(float red, float green, float blue)
{
    const float l
        = oklab::cubeRoot(0.4122214708f * red + 0.5363325363f * green + 0.0514459929f * blue);
    const float m
        = oklab::cubeRoot(0.2119034982f * red + 0.6806995451f * green + 0.1073969566f * blue);
    const float s
        = oklab::cubeRoot(0.0883024619f * red + 0.2817188376f * green + 0.6299787005f * blue);
    return { 0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
        1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
        0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s };
}

// The OKLab of a 0xRRGGBB colour (any higher byte ignored).
OkLab okLabFromRgb(std::uint32_t rgb);

// The 0xRRGGBB colour nearest to c: each channel in linear light clamped to 0-1, then the 8-bit
// value whose linear light is nearest (the lower of two equally near).
std::uint32_t rgbFromOkLab(const OkLab& c);

} // namespace mosaiq
