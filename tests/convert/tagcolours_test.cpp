#include "convert/rowfitter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mosaiq;

namespace {

struct Fitted {
    std::vector<ColourValue> colours;
    std::vector<std::uint32_t> starts;
    std::vector<std::uint8_t> nesting;
};

Fitted fit(const std::vector<ColourValue>& cells, double tolerance, ColourForms forms)
{
    RowFitter fitter(forms);
    fitter.load(cells);
    fitter.fit(tolerance, 0);
    Fitted fitted { cells, {}, {} };
    fitter.apply(fitted.colours, fitted.starts, &fitted.nesting);
    return fitted;
}

} // namespace

TEST(TagColours, aTagShowsTheColourMostOfItsCellsAgreeOnNotTheirMean)
{
    // Nine greys and two a little lighter, within the tolerance of them: one run, in the grey
    // of the nine (their mean is a level or two lighter, farther from most cells).
    const ColourValue grey = makeColour(100, 100, 100), lighter = makeColour(108, 108, 108);
    std::vector<ColourValue> cells(5, grey);
    cells.insert(cells.end(), 2, lighter);
    cells.insert(cells.end(), 4, grey);
    ASSERT_LT(ciede2000(labOf(grey), labOf(lighter)), 6.0);
    for (bool nested : { false, true }) {
        const Fitted fitted = fit(cells, 6.0, { false, false, nested });
        ASSERT_EQ(fitted.starts, (std::vector<std::uint32_t> { 0 })) << nested;
        EXPECT_EQ(fitted.colours, std::vector<ColourValue>(cells.size(), grey)) << nested;
    }

    // A tag taken back keeps one colour in all its runs: browns, two a little lighter, blue,
    // then browns that take the first tag back. Every brown cell shows the brown of the most.
    const ColourValue brown = makeColour(120, 100, 80), blue = makeColour(30, 60, 200);
    std::vector<ColourValue> row(4, brown);
    row.insert(row.end(), 2, makeColour(124, 104, 84));
    row.push_back(blue);
    row.insert(row.end(), 4, brown);
    const Fitted fitted = fit(row, 4.0, { false, false, true });
    ASSERT_EQ(fitted.starts, (std::vector<std::uint32_t> { 0, 6, 7 }));
    EXPECT_EQ(fitted.nesting, (std::vector<std::uint8_t> { 1, 2, 1 | TagLayers::TakesBack }));
    for (std::size_t i = 0; i < row.size(); ++i)
        EXPECT_EQ(fitted.colours[i], i == 6 ? blue : brown) << i;
}
