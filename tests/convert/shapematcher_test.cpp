#include "convert/shapematcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

using namespace mosaiq;

namespace {

constexpr std::uint32_t Dark = 0x20304A, Light = 0xF0E0B0;

// A block of width x height pixels, dark where inked(x, y) says, light elsewhere.
std::vector<std::uint32_t> drawn(
    int width, int height, const std::function<bool(double x, double y)>& inked)
{
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(
                0xFF000000u | (inked((x + 0.5) / width, (y + 0.5) / height) ? Dark : Light));
    return pixels;
}

ShapeChoice matchBlock(ShapeMatcher& matcher, const std::vector<std::uint32_t>& pixels, int width)
{
    return matcher.match(pixels.data(), width, int(pixels.size()) / width, width);
}

// Whether each channel of colour lies between those of a and b.
bool within(std::uint32_t colour, std::uint32_t a, std::uint32_t b)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const auto c = (colour >> shift) & 0xFF, x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
        if (c < std::min(x, y) || c > std::max(x, y))
            return false;
    }
    return true;
}

int lightness(std::uint32_t rgb)
{
    return int((rgb >> 16) & 0xFF) + int((rgb >> 8) & 0xFF) + int(rgb & 0xFF);
}

struct Pattern {
    const char* name;
    ShapeSet set;
    std::function<bool(double, double)> inked;
    char32_t character; // the glyph that draws it, dark on light
    // The glyph that draws it light on dark, as well: the font's halves and quadrants differ from
    // one another by a few hundredths of a sample at their edges, which decides between the two.
    char32_t complement = 0;
};

// The dots of a braille pattern: two columns, four rows, dot n of the standard numbering in bit
// n - 1 of the code point; drawn as round dots where DejaVu Sans puts them in the cell.
bool brailleDot(double x, double y, int dots)
{
    static const int Bit[4][2] = { { 0, 3 }, { 1, 4 }, { 2, 5 }, { 6, 7 } };
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 2; ++column) {
            if (!(dots & (1 << Bit[row][column])))
                continue;
            const double cx = 0.256 + 0.487 * column, cy = 0.189 + 0.238 * row;
            if ((x - cx) * (x - cx) * 0.27 + (y - cy) * (y - cy) < 0.004)
                return true;
        }
    return false;
}

const Pattern Patterns[] = {
    { "left half", ShapeSet::Blocks, [](double x, double) { return x < 0.5; }, U'\u258C',
        U'\u2590' },
    { "top half", ShapeSet::Blocks, [](double, double y) { return y < 0.5; }, U'\u2580',
        U'\u2584' },
    { "upper left quadrant", ShapeSet::Blocks,
        [](double x, double y) { return x < 0.5 && y < 0.5; }, U'\u2598', U'\u259F' },
    { "lower right quadrant among all", ShapeSet::All,
        [](double x, double y) { return x >= 0.5 && y >= 0.5; }, U'\u2597', U'\u259B' },
    { "braille dots 1, 5 and 8", ShapeSet::Braille,
        [](double x, double y) { return brailleDot(x, y, 0x01 | 0x10 | 0x80); }, U'\u2891' },
    { "braille dots 2, 3 and 7", ShapeSet::Braille,
        [](double x, double y) { return brailleDot(x, y, 0x02 | 0x04 | 0x40); }, U'\u2846' },
};

} // namespace

TEST(ShapeMatcher, aCellOfAKnownPatternGetsTheGlyphThatDrawsItInItsColours)
{
    // At the grid's own size, at a larger one and at one whose pixels the samples cut.
    for (const auto& [width, height] : { std::pair { 8, 16 }, { 32, 64 }, { 14, 30 } })
        for (const Pattern& pattern : Patterns) {
            SCOPED_TRACE(
                ::testing::Message() << pattern.name << " at " << width << " x " << height);
            if (pattern.set == ShapeSet::Braille && width < 30)
                continue; // a dot is a pixel or two: no shape left to find
            ShapeMatcher matcher(pattern.set);
            const ShapeChoice choice
                = matchBlock(matcher, drawn(width, height, pattern.inked), width);
            const bool darkInk = choice.character == pattern.character;
            EXPECT_TRUE(darkInk || choice.character == pattern.complement)
                << std::hex << unsigned(choice.character);
            EXPECT_TRUE(within(choice.foreground, Dark, Light));
            EXPECT_TRUE(within(choice.background, Dark, Light));
            EXPECT_EQ(lightness(choice.foreground) < lightness(choice.background), darkInk);
        }
}

TEST(ShapeMatcher, aBlockElementCellIsDrawnExactly)
{
    ShapeMatcher matcher(ShapeSet::Blocks);
    const ShapeChoice choice
        = matchBlock(matcher, drawn(16, 32, [](double x, double) { return x < 0.5; }), 16);
    EXPECT_EQ(choice.foreground, Dark);
    EXPECT_EQ(choice.background, Light);
    EXPECT_LT(choice.error, 1e-6f);
}

TEST(ShapeMatcher, aCellOfOneColourTakesTheFullestGlyphInThatColour)
{
    const std::vector<std::uint32_t> plain(6 * 9, 0xAA123456u); // alpha ignored
    ShapeMatcher blocks(ShapeSet::Blocks);
    const ShapeChoice full = matchBlock(blocks, plain, 6);
    EXPECT_EQ(full.character, U'\u2588');
    EXPECT_EQ(full.foreground, 0x123456u);
    EXPECT_EQ(full.background, 0x123456u);

    ShapeMatcher braille(ShapeSet::Braille);
    EXPECT_EQ(matchBlock(braille, plain, 6).character, U'\u28FF');
    // Over a page's background, only the full block shows one colour whole.
    ShapeMatcher overPage(ShapeSet::All, 0xFFFFFF);
    const ShapeChoice onPage = matchBlock(overPage, plain, 6);
    EXPECT_EQ(onPage.character, U'\u2588');
    EXPECT_EQ(onPage.foreground, 0x123456u);
    EXPECT_EQ(onPage.background, 0xFFFFFFu);
}

TEST(ShapeMatcher, withAGivenBackgroundOnlyTheInkIsChosen)
{
    // Dark ink on the page's own light: the lower half block, since the upper would need light ink.
    ShapeMatcher matcher(ShapeSet::Blocks, Light);
    const ShapeChoice choice
        = matchBlock(matcher, drawn(16, 32, [](double, double y) { return y >= 0.5; }), 16);
    EXPECT_EQ(choice.character, U'\u2584');
    EXPECT_EQ(choice.background, Light);
    EXPECT_EQ(choice.foreground, Dark);

    // Ink on a cell that is nowhere the page's colour: every glyph shows the background, but
    // the choice keeps it and the ink stays within the cell's colours.
    ShapeMatcher onWhite(ShapeSet::Ascii, 0xFFFFFF);
    const ShapeChoice letter
        = matchBlock(onWhite, drawn(16, 32, [](double x, double) { return x < 0.3; }), 16);
    EXPECT_EQ(letter.background, 0xFFFFFFu);
    EXPECT_TRUE(within(letter.foreground, Dark, Light));
}

TEST(ShapeMatcher, theSameCellGetsTheSameChoiceWhateverCameBefore)
{
    std::mt19937 random(11);
    std::vector<std::uint32_t> noise(40 * 40);
    for (std::uint32_t& pixel : noise)
        pixel = random();
    const auto cell = [&](ShapeMatcher& matcher, int x, int y, int width, int height) {
        return matcher.match(noise.data() + y * 40 + x, width, height, 40);
    };
    ShapeMatcher fresh(ShapeSet::All), used(ShapeSet::All);
    cell(used, 0, 0, 40, 40);
    cell(used, 3, 1, 1, 7);
    for (int x = 0; x + 7 <= 40; x += 5) {
        const ShapeChoice a = cell(fresh, x, 9, 7, 13), b = cell(used, x, 9, 7, 13);
        EXPECT_EQ(a.character, b.character);
        EXPECT_EQ(a.foreground, b.foreground);
        EXPECT_EQ(a.background, b.background);
        EXPECT_EQ(a.error, b.error);
    }
}

TEST(ShapeMatcher, theShortlistFindsNearlyWhatFittingEveryGlyphFinds)
{
    // Smooth shapes of two colours with some noise, as photos have: the shortlist may miss the
    // best glyph, but not by much.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    ShapeMatcher quick(ShapeSet::All), thorough(ShapeSet::All, {}, 1000);
    double quickError = 0, thoroughError = 0;
    for (int cell = 0; cell < 200; ++cell) {
        const double angle = unit(random) * 6.3, offset = unit(random) - 0.5;
        std::vector<std::uint32_t> pixels = drawn(12, 24, [&](double x, double y) {
            return (x - 0.5) * std::cos(angle) + (y - 0.5) * std::sin(angle) < offset;
        });
        for (std::uint32_t& pixel : pixels)
            pixel ^= random() & 0x070707;
        const ShapeChoice a = matchBlock(quick, pixels, 12), b = matchBlock(thorough, pixels, 12);
        EXPECT_GE(a.error, b.error);
        quickError += a.error;
        thoroughError += b.error;
    }
    EXPECT_LT(quickError, thoroughError * 1.25);
}

TEST(OkLab, aColourReadAndWrittenBackIsItself)
{
    for (std::uint32_t rgb : { 0x000000u, 0xFFFFFFu, 0x808080u, 0x010203u, 0xFF0000u, 0x00FF00u,
             0x0000FFu, 0x123456u, 0xFEDCBAu })
        EXPECT_EQ(rgbFromOkLab(okLabFromRgb(rgb)), rgb) << std::hex << rgb;
    EXPECT_NEAR(okLabFromRgb(0xFFFFFF).l, 1.0f, 1e-4f);
    EXPECT_NEAR(okLabFromRgb(0xFFFFFF).a, 0.0f, 1e-4f);
    EXPECT_EQ(rgbFromOkLab({ 2.0f, 0.0f, 0.0f }), 0xFFFFFFu); // beyond white: clamped
}
