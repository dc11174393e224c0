#include "convert/palette.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

using namespace mosaiq;

namespace {

std::uint32_t argb(ColourValue colour)
{
    const auto bits = static_cast<std::uint32_t>(colour);
    return 0xFF000000u | ((bits & 0xFF) << 16) | (bits & 0xFF00) | ((bits >> 16) & 0xFF);
}

struct Picture {
    std::vector<std::uint32_t> words;
    int width = 0, height = 0;
    PixelBuffer buffer() const { return { words.data(), width, height, width }; }
};

} // namespace

TEST(Palette, readsGimpPalettesAndTellsWhyOthersAreRefused)
{
    const PaletteFile good = readGimpPalette("GIMP Palette\r\nName: Deux\nColumns: 2\n# noir\n"
                                             "  0   0   0\tBlack\n\n255 128 7 Orange vif\n");
    EXPECT_EQ(good.error, PaletteFileError::Read);
    EXPECT_EQ(good.colours, (std::vector<ColourValue> { 0, makeColour(255, 128, 7) }));

    struct Case {
        std::string text;
        PaletteFileError error;
        std::size_t line;
    };
    std::string tooMany = "GIMP Palette\n";
    for (int i = 0; i < 257; ++i)
        tooMany += "1 2 3\n";
    for (const Case& c : std::vector<Case> { { "", PaletteFileError::Empty, 0 },
             { "GIMP Palette\nName: vide\n", PaletteFileError::Empty, 0 },
             { "JASC-PAL\n0100\n", PaletteFileError::NotGimp, 1 },
             { "GIMP Palette\n1 2\n", PaletteFileError::NotGimp, 2 },
             { "GIMP Palette\nrouge 0 0\n", PaletteFileError::NotGimp, 2 },
             { "GIMP Palette\n0 0 0\n0 0 256\n", PaletteFileError::OutOfRange, 3 },
             { "GIMP Palette\n-1 0 0\n", PaletteFileError::OutOfRange, 2 },
             { tooMany, PaletteFileError::TooMany, 0 } }) {
        const PaletteFile file = readGimpPalette(c.text);
        EXPECT_EQ(file.error, c.error) << c.text.substr(0, 40);
        if (c.line) {
            EXPECT_EQ(file.line, c.line) << c.text;
        }
    }
}

TEST(Palette, choosesAtMostNOfThePicturesOwnColoursTheSameEachTime)
{
    // Four flat colours in bands: kept exactly.
    Picture bands { {}, 40, 8 };
    const ColourValue flat[] = { makeColour(200, 30, 30), makeColour(30, 200, 30),
        makeColour(30, 30, 200), makeColour(250, 250, 250) };
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 40; ++x)
            bands.words.push_back(argb(flat[x / 10]));
    std::vector<ColourValue> expected(std::begin(flat), std::end(flat));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(choosePalette(bands.buffer(), 4), expected);

    // Noise: at most sixteen colours, all of the picture, the same on a second call.
    Picture noise { {}, 300, 200 };
    std::mt19937 random(7);
    std::set<ColourValue> own;
    for (int i = 0; i < 300 * 200; ++i) {
        const ColourValue c = makeColour(int(random() % 256), int(random() % 64), 90);
        noise.words.push_back(argb(c));
        own.insert(c);
    }
    const std::vector<ColourValue> chosen = choosePalette(noise.buffer(), 16);
    EXPECT_GE(chosen.size(), 8u);
    EXPECT_LE(chosen.size(), 16u);
    for (ColourValue c : chosen)
        EXPECT_TRUE(own.count(c));
    EXPECT_EQ(choosePalette(noise.buffer(), 16), chosen);
}

TEST(Palette, mapsToTheNearestColourAndDithersTowardsTheMean)
{
    const std::vector<ColourValue> blackWhite { makeColour(0, 0, 0), makeColour(255, 255, 255) };
    PaletteMapper plain(blackWhite, Dither::None);
    std::vector<ColourValue> row(64, makeColour(90, 90, 90));
    plain.mapRow(row, 0);
    EXPECT_EQ(std::set<ColourValue>(row.begin(), row.end()), std::set<ColourValue> { 0 });

    for (Dither dither : { Dither::Ordered, Dither::Diffusion }) {
        PaletteMapper mapper(blackWhite, dither);
        int white = 0;
        for (int y = 0; y < 8; ++y) {
            std::vector<ColourValue> grey(64, makeColour(128, 128, 128));
            mapper.mapRow(grey, y);
            for (ColourValue c : grey) {
                ASSERT_TRUE(c == blackWhite[0] || c == blackWhite[1]);
                white += c == blackWhite[1];
            }
        }
        // Grey 128 alone maps to white, its nearest; dithered, black takes a good share too.
        EXPECT_GT(white, 64) << int(dither);
        EXPECT_LT(white, 448) << int(dither);
    }
}
