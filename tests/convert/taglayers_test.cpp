#include "convert/rowfitter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mosaiq;

TEST(TagLayers, aRunComingBackNearATagTakesItBackInItsColourOrInTheMeanOfBoth)
{
    // Brown, blue, then four cells of brown or of a brown a step lighter: the last run takes back
    // the first tag, which shows those four cells' colour, the first brown too when lighter.
    const ColourValue brown = makeColour(120, 100, 80), blue = makeColour(30, 60, 200);
    struct Case {
        double tolerance;
        std::size_t browns;
        ColourValue back;
    };
    const Case cases[] = { { 1.0, 4, brown }, { 3.0, 1, makeColour(121, 101, 81) } };
    for (const Case& c : cases) {
        std::vector<ColourValue> cells(c.browns, brown);
        cells.push_back(blue);
        cells.insert(cells.end(), 4, c.back);
        RowFitter fitter({ false, false, true });
        fitter.load(cells);
        fitter.fit(c.tolerance, 0);
        std::vector<std::uint32_t> starts;
        std::vector<std::uint8_t> nesting;
        fitter.apply(cells, starts, &nesting);
        SCOPED_TRACE(c.tolerance);
        ASSERT_EQ(starts,
            (std::vector<std::uint32_t> {
                0, std::uint32_t(c.browns), std::uint32_t(c.browns + 1) }));
        EXPECT_EQ(nesting, (std::vector<std::uint8_t> { 1, 2, 1 | TagLayers::TakesBack }));
        EXPECT_EQ(cells.front(), c.back) << std::hex << cells.front();
        EXPECT_EQ(cells.back(), c.back) << std::hex << cells.back();
    }
}
