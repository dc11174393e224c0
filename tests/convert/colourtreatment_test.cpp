// The engine's colour treatments, cell by cell, against colours worked out by hand: the grey
// level is the mean of the channels switched on, to the nearest integer, ties to even.
#include "convert/conversionrun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mosaiq;

namespace {

std::uint32_t argb(int red, int green, int blue)
{
    return 0xFF000000u | std::uint32_t(red << 16) | std::uint32_t(green << 8) | std::uint32_t(blue);
}

// The colours the engine writes for pixels, one letter cell each, and then for a row below the
// picture, every cell of which reads as the invalid colour. The picture has a row and a column
// more than the grid, so that cell x samples pixel x of row 1.
struct Treated {
    std::vector<std::string> cells;
    std::string outside;
};

Treated treat(const std::vector<std::uint32_t>& pixels, ColourTreatment treatment,
    ChannelSwitches channels = {})
{
    const int width = int(pixels.size()) + 1;
    std::vector<std::uint32_t> words(std::size_t(2 * width), argb(9, 9, 9));
    std::copy(pixels.begin(), pixels.end(), words.begin() + width + 1);
    RunStart start;
    start.rows = 2;
    start.treatment = treatment;
    start.channels = channels;
    RandomGlyphs random;
    ConversionRun run(start, random);
    RowInput input;
    input.columns = double(pixels.size());
    input.rows = 1;
    input.definedCharacters = U"o";
    input.picture = { words.data(), width, 2, width };

    Treated treated;
    EXPECT_EQ(run.buildRow(input), RowOutcome::Written);
    // <font color="#RRGGBB">o</font>: 30 bytes a cell, the colour from the 14th.
    for (std::size_t i = 0; i < pixels.size(); ++i)
        treated.cells.emplace_back(run.row().substr(30 * i + 13, 7));
    EXPECT_EQ(run.buildRow(input), RowOutcome::Written);
    treated.outside = run.row().substr(13, 7);
    return treated;
}

// Sums of the three channels: 350 / 3 = 116.67 gives 117 (0x75); 2 / 3 gives 1; 1 / 3 gives 0;
// 764 / 3 = 254.67 gives 255; 763 / 3 = 254.33 gives 254 (0xFE); 0x12 + 0x34 + 0x56 = 156 gives
// 52 (0x34). The last pixel's alpha byte is 0: it is ignored.
const std::vector<std::uint32_t> Pixels { argb(200, 100, 50), argb(1, 1, 0), argb(1, 0, 0),
    argb(255, 255, 255), argb(255, 255, 254), argb(255, 254, 254), argb(0, 0, 0), 0x00123456u };

struct TreatmentCase {
    ColourTreatment treatment;
    std::vector<std::string> cells;
    std::string outside; // the invalid colour counts as white
};

void PrintTo(const TreatmentCase& c, std::ostream* out)
{
    *out << "treatment " << int(c.treatment);
}

class ColourTreatmentTest : public testing::TestWithParam<TreatmentCase> { };

} // namespace

TEST_P(ColourTreatmentTest, colourEachCellByHand)
{
    const Treated treated = treat(Pixels, GetParam().treatment);
    EXPECT_EQ(treated.cells, GetParam().cells);
    EXPECT_EQ(treated.outside, GetParam().outside);
}

INSTANTIATE_TEST_SUITE_P(Treatments, ColourTreatmentTest,
    testing::Values(TreatmentCase { ColourTreatment::SourceColours,
                        { "#C86432", "#010100", "#010000", "#FFFFFF", "#FFFFFE", "#FFFEFE",
                            "#000000", "#123456" },
                        "#FFFFFF" },
        TreatmentCase { ColourTreatment::TintRed,
            { "#750000", "#010000", "#000000", "#FF0000", "#FF0000", "#FE0000", "#000000",
                "#340000" },
            "#FF0000" },
        TreatmentCase { ColourTreatment::TintGreen,
            { "#007500", "#000100", "#000000", "#00FF00", "#00FF00", "#00FE00", "#000000",
                "#003400" },
            "#00FF00" },
        TreatmentCase { ColourTreatment::TintBlue,
            { "#000075", "#000001", "#000000", "#0000FF", "#0000FF", "#0000FE", "#000000",
                "#000034" },
            "#0000FF" },
        TreatmentCase { ColourTreatment::BlackAndWhite,
            { "#757575", "#010101", "#000000", "#FFFFFF", "#FFFFFF", "#FEFEFE", "#000000",
                "#343434" },
            "#FFFFFF" }));

TEST(ColourTreatment, averagesOnlyTheChannelsSwitchedOnWithTiesToEven)
{
    const std::vector<std::uint32_t> pixels { argb(1, 2, 200), argb(2, 3, 200), argb(3, 4, 0) };
    // Red and green: 3 / 2 = 1.5 and 5 / 2 = 2.5 both give 2, 7 / 2 = 3.5 gives 4.
    EXPECT_EQ(treat(pixels, ColourTreatment::BlackAndWhite, { true, true, false }).cells,
        (std::vector<std::string> { "#020202", "#020202", "#040404" }));
    // Blue alone: the level is the blue part itself.
    EXPECT_EQ(treat(pixels, ColourTreatment::TintGreen, { false, false, true }).cells,
        (std::vector<std::string> { "#00C800", "#00C800", "#000000" }));
    // With none on there is nothing to average; all three count rather than dividing by zero:
    // 203 / 3 = 67.67 gives 68 (0x44), 205 / 3 = 68.33 gives 68, 7 / 3 = 2.33 gives 2.
    EXPECT_EQ(treat(pixels, ColourTreatment::TintRed, { false, false, false }).cells,
        (std::vector<std::string> { "#440000", "#440000", "#020000" }));
}
