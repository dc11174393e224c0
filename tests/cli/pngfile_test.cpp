#include "output/png/pngfile.h"
#include "support/clirunner.h"
#include "support/pnglines.h"

#include <png.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace clitest;
using mosaiq::PageFile;
using mosaiq::PngFile;

namespace {

// The RGB bytes of a PNG as libpng reads it, empty when it cannot.
std::vector<std::uint8_t> decoded(const fs::path& path, int& width, int& height)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    width = int(image.width);
    height = int(image.height);
    return pixels;
}

} // namespace

// Flat areas, edges and noise, handed over in batches that split the shares unevenly: each
// thread count gives the same filtered lines, and libpng reads back every pixel.
TEST_F(CliTest, parallelPngHoldsEveryPixelWhateverTheThreads)
{
    constexpr int Width = 1500, Height = 1400;
    std::vector<std::uint32_t> words(std::size_t(Width) * Height);
    std::uint32_t seed = 7;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const std::uint32_t noise
                = (x / 64 + y / 64) % 3 == 0 ? seed >> 8 : 0x203040u * (x > y);
            words[std::size_t(y) * Width + std::size_t(x)] = 0xff000000u | (noise & 0xffffffu);
        }
    }
    std::vector<std::string> lines;
    for (const unsigned threads : { 1u, 2u, 5u }) {
        const fs::path path = file(std::to_string(threads).append(".png"));
        PageFile page;
        ASSERT_TRUE(page.open(path.string()));
        PngFile png(page, threads);
        ASSERT_TRUE(png.begin(Width, Height));
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(words.data());
        for (const auto& [first, count] :
            { std::pair(0, 1), std::pair(1, 900), std::pair(901, 499) })
            ASSERT_TRUE(png.writeLines(bytes + std::size_t(first) * Width * 4, Width * 4, count));
        ASSERT_TRUE(png.finish());
        ASSERT_TRUE(page.close());
        lines.push_back(testsupport::pngLines(readAll(path)));
        EXPECT_FALSE(lines.back().empty());
        int width = 0, height = 0;
        const std::vector<std::uint8_t> rgb = decoded(path, width, height);
        ASSERT_EQ(width, Width);
        ASSERT_EQ(height, Height);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::uint32_t w = words[i];
            wrong += rgb[3 * i] != std::uint8_t(w >> 16) || rgb[3 * i + 1] != std::uint8_t(w >> 8)
                || rgb[3 * i + 2] != std::uint8_t(w);
        }
        EXPECT_EQ(wrong, 0u) << threads << " threads";
    }
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_EQ(lines[0], lines[2]);
}

// Lines that the painter left alone are packed as the background without being read: their
// memory holds noise here, on either side of shares and beside lines of pixels.
TEST_F(CliTest, pngLinesLeftUnpaintedComeOutAsTheBackground)
{
    constexpr int Width = 600, Height = 12;
    constexpr std::uint32_t Background = 0xff204060u;
    // 1: painted; 0: left alone. Shares: [0, 4), [4, 7), [7, 12).
    const std::vector<char> inked { 0, 0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 1 };
    const std::vector<std::pair<int, int>> shares { { 0, 4 }, { 4, 3 }, { 7, 5 } };
    std::vector<std::uint32_t> words(std::size_t(Width) * Height);
    std::uint32_t seed = 11;
    for (std::uint32_t& word : words) {
        seed = seed * 1664525u + 1013904223u;
        word = 0xff000000u | (seed >> 8);
    }
    const fs::path path = file("plain.png");
    PageFile page;
    ASSERT_TRUE(page.open(path.string()));
    PngFile png(page, 1);
    ASSERT_TRUE(png.begin(Width, Height));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(words.data());
    const std::size_t stride = Width * 4;
    for (const auto& [first, count] : shares) {
        std::vector<char> flags { first > 0 ? inked[std::size_t(first - 1)] : char(1) };
        flags.insert(flags.end(), inked.begin() + first, inked.begin() + first + count);
        PngFile::Share share;
        png.pack(share, bytes + std::size_t(first) * stride, std::int64_t(stride), count,
            first > 0 ? bytes + std::size_t(first - 1) * stride : nullptr, flags.data(),
            Background);
        ASSERT_TRUE(png.writeShare(share));
    }
    ASSERT_TRUE(png.finish());
    ASSERT_TRUE(page.close());
    int width = 0, height = 0;
    const std::vector<std::uint8_t> rgb = decoded(path, width, height);
    ASSERT_EQ(width, Width);
    ASSERT_EQ(height, Height);
    for (int y = 0; y < Height; ++y) {
        std::size_t wrong = 0;
        for (int x = 0; x < Width; ++x) {
            const std::size_t i = std::size_t(y) * Width + std::size_t(x);
            const std::uint32_t w = inked[std::size_t(y)] ? words[i] : Background;
            wrong += rgb[3 * i] != std::uint8_t(w >> 16) || rgb[3 * i + 1] != std::uint8_t(w >> 8)
                || rgb[3 * i + 2] != std::uint8_t(w);
        }
        EXPECT_EQ(wrong, 0u) << "line " << y;
    }
}

// The PNGs that mosaiq-cli wrote before it painted on every core and compressed with ISA-L:
// squares, plain letters, bold and italic glyphs leaning over their neighbours at twice the
// sharpness, centred rows.
TEST_F(CliTest, pngOfThePageHasTheSamePixelsAsBefore)
{
    const std::string gradient = (Data / "good" / "gradient.gif").string();
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases {
        { "gradient-square-150-scale-2.png",
            { "--square", "--columns", "150", "--rows", "6", "--scale", "2" } },
        { "gradient-letters-30.png", { "--columns", "30", "--rows", "6", "--no-centre" } },
        { "gradient-bold-italic-24-scale-2.png",
            { "--columns", "24", "--rows", "6", "--bold", "--italic", "--chars",
                "Wg@j\xC3\x89"
                "f/",
                "--background", "#204060", "--scale", "2" } },
        { "gradient-italic-centred-20.png",
            { "--columns", "20", "--rows", "6", "--italic", "--chars", "AVWTyjf" } },
    };
    for (const auto& [before, options] : cases) {
        SCOPED_TRACE(before);
        std::vector<std::string> arguments { gradient, "-o", "/dev/null", "--png",
            file("page.png").string() };
        arguments.insert(arguments.end(), options.begin(), options.end());
        const Outcome o = run(arguments, "", "QT_QPA_PLATFORM=offscreen ");
        ASSERT_EQ(o.exit, 0) << o.err;
        int width = 0, height = 0, beforeWidth = 0, beforeHeight = 0;
        const auto now = decoded(file("page.png"), width, height);
        const auto then = decoded(Data / "good" / "codes" / before, beforeWidth, beforeHeight);
        ASSERT_FALSE(then.empty());
        EXPECT_EQ(width, beforeWidth);
        EXPECT_EQ(height, beforeHeight);
        EXPECT_TRUE(now == then);
    }
}
