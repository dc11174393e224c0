#include "support/colourreference.h"

#include <gtest/gtest.h>

using namespace mosaiq;

namespace {

std::string cell(ColourValue pixel, ColourTreatment treatment)
{
    return DectoWebCol(CellColour(pixel, treatment, ChannelSwitches {}));
}

} // namespace

TEST(ColourTreatment, tintsAndGreysUseTheRoundedMeanOfTheThreeChannels)
{
    const ColourValue pixel = makeColour(200, 100, 50); // mean 116.67 gives 117 = 0x75
    EXPECT_EQ(cell(pixel, ColourTreatment::SourceColours), "#C86432");
    EXPECT_EQ(cell(pixel, ColourTreatment::TintRed), "#750000");
    EXPECT_EQ(cell(pixel, ColourTreatment::TintGreen), "#007500");
    EXPECT_EQ(cell(pixel, ColourTreatment::TintBlue), "#000075");
    EXPECT_EQ(cell(pixel, ColourTreatment::BlackAndWhite), "#757575");
}

TEST(ColourTreatment, roundsThirdsToTheNearestLevel)
{
    EXPECT_EQ(cell(makeColour(1, 1, 0), ColourTreatment::BlackAndWhite), "#010101");
    EXPECT_EQ(cell(makeColour(1, 0, 0), ColourTreatment::TintRed), "#000000");
}

TEST(ColourTreatment, whiteAndTheInvalidColourAreWhite)
{
    for (ColourValue pixel : { makeColour(255, 255, 255), InvalidColour }) {
        EXPECT_EQ(cell(pixel, ColourTreatment::SourceColours), "#FFFFFF");
        EXPECT_EQ(cell(pixel, ColourTreatment::BlackAndWhite), "#FFFFFF");
        EXPECT_EQ(cell(pixel, ColourTreatment::TintRed), "#FF0000");
    }
}

TEST(ColourTreatment, averagesOnlyTheChannelsSwitchedOn)
{
    const ColourValue pixel = makeColour(10, 20, 200);
    EXPECT_EQ(greyLevel(pixel, { true, true, false }), 15);
    EXPECT_EQ(greyLevel(pixel, { false, false, true }), 200);
    // With none on there is nothing to average; all three count rather than dividing by zero.
    EXPECT_EQ(greyLevel(pixel, { false, false, false }), 77);
}
