// The one reading of a size that mosaiq-cli and the page in the browser share.
#include "run/gridsize.h"

#include "convert/numbertext.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mosaiq;

TEST(GridSize, aSizeIsAWholeNumberTextWithEitherSeparatorAndAtLeastOneCell)
{
    struct Case {
        const char* text;
        SizeReading::Problem problem;
        double value; // as the run reads the plain text
    };
    using P = SizeReading::Problem;
    const Case cases[] = {
        { "120", P::None, 120 },
        { " 3,5\t", P::None, 3.5 },
        { "3.5", P::None, 3.5 },
        { "+2,5e1", P::None, 25 },
        { "1", P::None, 1 },
        { "1e999", P::None, HUGE_VAL }, // too large, which the start checks say
        { "12abc", P::NotANumber, 0 },
        { "3,5,1", P::NotANumber, 0 },
        { "1 2", P::NotANumber, 0 },
        { "3.", P::NotANumber, 0 },
        { "", P::NotANumber, 0 },
        { "abc", P::NotANumber, 0 },
        { "0,25", P::NoCell, 0 },
        { "0.999", P::NoCell, 0 },
        { "0", P::NoCell, 0 },
        { "-5", P::NoCell, 0 },
        { "1e-400", P::NoCell, 0 },
        { "-1e999", P::NoCell, 0 },
    };
    for (const Case& c : cases) {
        const SizeReading size = readGridSize(c.text);
        EXPECT_EQ(size.problem, c.problem) << c.text;
        if (c.problem == P::None) {
            EXPECT_EQ(numericValue(size.plain), c.value) << c.text;
        }
        EXPECT_EQ(gridSizeRefusal(c.text, false, "--columns").empty(), c.problem == P::None);
    }
    EXPECT_EQ(gridSizeRefusal("0,25", true, "--rows"),
        "Dimensions invalides : --rows « 0,25 » ne donne aucune ligne ; il en faut au moins une.");
}
