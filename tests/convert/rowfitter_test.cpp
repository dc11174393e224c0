#include "convert/rowfitter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace mosaiq;

TEST(RowFitter, fitsARowTheSameWhateverRowsItFittedBefore)
{
    // Drifting hues with a little noise, thousands of colours, fill the fitter's memory of
    // L*a*b*, many to a slot: a row like them then takes the runs a new fitter gives it.
    std::mt19937 random(11);
    auto fit = [&random](RowFitter& fitter, std::size_t width, int trial) {
        std::vector<ColourValue> cells;
        for (std::size_t x = 0, offset = random() % 256; x < width; ++x)
            cells.push_back(makeColour(int((x + offset) / 3 % 256), 90 + int(random() % 6),
                int((x / 5 + random() % 4) % 256)));
        fitter.load(cells);
        fitter.fit(2.0 + trial, trial);
        std::vector<std::uint32_t> starts;
        fitter.apply(cells, starts);
        return std::make_pair(cells, starts);
    };
    for (int trial = 0; trial < 4; ++trial) {
        RowFitter used({ true, true }), fresh({ true, true });
        for (int y = 0; y < 8; ++y)
            fit(used, 900, trial);
        const std::mt19937 before = random;
        const auto expected = fit(fresh, 700, trial);
        random = before;
        EXPECT_EQ(fit(used, 700, trial), expected) << "trial " << trial;
    }
}
