#include "output/png/pngfilter.h"
#include "support/pnglines.h"

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using mosaiq::PngFilter;

namespace {

// The filtered lines (type byte first) of libpng's file of these RGB pixels: its IDAT chunks
// joined and inflated.
std::vector<std::uint8_t> libpngFiltered(
    const std::vector<std::uint8_t>& rgb, int width, int height)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr))
        return {};
    std::vector<std::uint8_t> file(size);
    if (!png_image_write_to_memory(&image, file.data(), &size, 0, rgb.data(), 0, nullptr))
        return {};
    const std::string lines
        = testsupport::pngLines(std::string_view(reinterpret_cast<const char*>(file.data()), size));
    if (lines.size() != std::size_t(3 * width + 1) * std::size_t(height))
        return {};
    return std::vector<std::uint8_t>(lines.begin(), lines.end());
}

} // namespace

// Every line filtered as libpng filters it by default, the same choice and the same bytes, both
// with AVX2 and in RGB order: widths that leave the wide loops each count of last pixels, bands
// of dots, steps, columns, slopes and planes, so that each of the five filters wins somewhere.
// Wider lines, whose choice is weighed on a sample, get the same bytes both ways.
TEST(PngFilter, choosesAndFiltersAsLibpngDoes)
{
    for (const int width : { 2, 9, 10, 11, 17, 18, 40, 257, 1000, 1003 }) {
        SCOPED_TRACE(width);
        constexpr int Height = 60;
        std::vector<std::uint32_t> words(std::size_t(width) * Height);
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint32_t word = 0xff000000u;
                for (int k = 0; k < 3; ++k) {
                    // Bands of rows, each made for one filter: sparse dots (None), steps along
                    // the line (Sub), columns (Up), a bumpy slope (Average), a plane (Paeth).
                    const int value = std::array {
                        (x * 7 + y * 3 + k) % 11 == 0 ? 1 : 0,
                        5 * x + 37 * y * y,
                        31 * x * x + 17 * k,
                        x * x / 7 + (y % 4 + 4) * (y % 4 + 4) / 5 + 5 * ((x + 2 * (y % 4) + k) % 4),
                        3 * x + 5 * y,
                    }[std::size_t(y / 4 % 5)];
                    rgb.push_back(std::uint8_t(value));
                    word |= std::uint32_t(std::uint8_t(value)) << (16 - 8 * k);
                }
                words[std::size_t(y) * width + x] = word;
            }
        }
        const std::vector<std::uint8_t> expected = libpngFiltered(rgb, width, Height);
        ASSERT_FALSE(expected.empty());
        const std::size_t lineSize = std::size_t(3 * width + 1);
        if (width == 40) {
            std::set<std::uint8_t> types;
            for (int y = 0; y < Height; ++y)
                types.insert(expected[y * lineSize]);
            EXPECT_EQ(types.size(), 5u) << "a picture where every filter wins somewhere";
        }
        std::vector<std::uint8_t> both[2];
        for (const bool wide : { true, false }) {
            PngFilter filter(wide);
            std::vector<std::uint8_t>& filtered = both[wide];
            filtered.assign(expected.size() + 32, 0x5a);
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(words.data());
            for (int y = 0; y < Height; ++y)
                filter.filter(bytes + std::size_t(y) * width * 4,
                    y > 0 ? bytes + std::size_t(y - 1) * width * 4 : nullptr, width,
                    filtered.data() + y * lineSize);
            if (width <= 512) {
                EXPECT_TRUE(std::equal(expected.begin(), expected.end(), filtered.begin()))
                    << (wide ? "AVX2" : "RGB order");
            }
            EXPECT_EQ(filtered[expected.size()], 0x5a) << "nothing written past the last line";
        }
        EXPECT_TRUE(both[0] == both[1]);
    }
}
