#include "convert/colourform.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mosaiq;

TEST(ColourForm, textLengthIsTheLengthOfTheTextWrittenInEveryForm)
{
    std::vector<ColourValue> colours { InvalidColour, makeColour(0x11, 0x22, 0x33),
        makeColour(192, 192, 192), makeColour(128, 0, 192), makeColour(255, 255, 254) };
    for (const auto& named : namedColours())
        colours.push_back(named.colour);
    for (ColourValue colour = 0; colour <= 0xFFFFFF; colour += 4093)
        colours.push_back(colour);
    for (const bool names : { false, true }) {
        for (const bool shortHex : { false, true }) {
            const ColourForms forms { shortHex, names };
            for (ColourValue colour : colours) {
                char text[7];
                ASSERT_EQ(colourTextLength(colour, forms), writeColourText(text, colour, forms))
                    << colour << " " << names << shortHex;
            }
        }
    }
    // A name is written where it is shorter, #RGB where that is.
    EXPECT_EQ(colourTextLength(makeColour(255, 0, 0), { true, true }), 3u);
    EXPECT_EQ(colourTextLength(makeColour(0, 0, 0), { true, true }), 4u);
    EXPECT_EQ(colourTextLength(makeColour(192, 192, 192), { true, true }), 6u);
    EXPECT_EQ(colourTextLength(makeColour(192, 192, 192), { false, true }), 6u);
    EXPECT_EQ(colourTextLength(makeColour(128, 128, 128), { true, false }), 7u);
}
