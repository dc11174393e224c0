#include "convert/rowfitter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mosaiq;

TEST(TagLayers, aRunComingBackNearATagTakesItBackInItsColourOrInTheMeanOfBoth)
{
    // Brown, blue, then brown again or a brown a step lighter: the last run takes back the first
    // tag, in its brown, or in the lighter brown that most of their cells show, one being too
    // little for its own tag; never a tag of its own.
    const ColourValue brown = makeColour(120, 100, 80), lighter = makeColour(121, 101, 81);
    const ColourValue blue = makeColour(30, 60, 200);
    struct Case {
        double tolerance;
        std::size_t browns;
        ColourValue back; // what the row comes back to, four cells
        ColourValue tag; // the colour of the first tag then
    };
    const Case cases[] = { { 1.0, 4, brown, brown }, { 3.0, 1, lighter, lighter } };
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
        EXPECT_EQ(cells.front(), c.tag) << std::hex << cells.front();
        EXPECT_EQ(cells.back(), c.tag) << std::hex << cells.back();
    }
}
