// The quick conversion of matrix profiles: eight pixels at a time (where the processor has
// AVX2) and one at a time must agree, and both must match the exact arithmetic.
#include "image/matrixconversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace mosaiq;

namespace {

double srgbDecode(double x)
{
    return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
}

} // namespace

TEST(MatrixConversion, eightAtATimeAgreesWithOneAtATime)
{
    // Display P3 to sRGB, and Adobe RGB's pure gamma with its own matrix.
    const std::array<std::array<double, 3>, 3> p3ToSrgb { { { 1.2249, -0.2247, 0.0 },
        { -0.0420, 1.0419, 0.0 }, { -0.0197, -0.0786, 1.0979 } } };
    const std::array<std::array<double, 3>, 3> adobeToSrgb { { { 1.3982, -0.3982, 0.0 },
        { 0.0, 1.0, 0.0 }, { 0.0, -0.0429, 1.0429 } } };
    for (int profile = 0; profile < 2; ++profile) {
        std::array<std::array<double, 256>, 3> linear;
        for (auto& curve : linear) {
            for (int v = 0; v < 256; ++v)
                curve[size_t(v)] = profile == 0 ? srgbDecode(v / 255.0) : std::pow(v / 255.0, 2.2);
        }
        const MatrixConversion conversion(linear, profile == 0 ? p3ToSrgb : adobeToSrgb);
        std::vector<quint32> pixels;
        quint32 seed = 99;
        for (int i = 0; i < 4096; ++i) {
            seed = seed * 1664525u + 1013904223u;
            pixels.push_back(seed | 0xFF000000u);
        }
        std::vector<quint32> together(pixels.size()), alone(pixels.size());
        conversion.convertRgb32(reinterpret_cast<const uchar*>(pixels.data()),
            reinterpret_cast<uchar*>(together.data()), int(pixels.size()));
        for (size_t i = 0; i < pixels.size(); ++i)
            conversion.convertRgb32(
                reinterpret_cast<const uchar*>(&pixels[i]), reinterpret_cast<uchar*>(&alone[i]), 1);
        for (size_t i = 0; i < pixels.size(); ++i) {
            for (int shift : { 0, 8, 16 }) {
                const int a = int(together[i] >> shift & 0xFF), b = int(alone[i] >> shift & 0xFF);
                ASSERT_LE(std::abs(a - b), 1) << "pixel " << std::hex << pixels[i];
            }
            ASSERT_EQ(together[i] >> 24, 0xFFu);
        }
        // Where the eight-pixel path runs, its own check must have let it.
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
            EXPECT_LE(conversion.wideError(), 1.0);
        }
    }
}
