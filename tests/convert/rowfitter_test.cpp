#include "convert/rowfitter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace mosaiq;

TEST(RowFitter, fitsARowTheSameWhateverRowsItFittedBefore)
{
    // Rows of thousands of colours fill the fitter's memory of L*a*b*, many to a slot; a row of
    // colours near theirs then takes the runs a new fitter gives it.
    std::mt19937 random(11);
    auto row = [&random](std::size_t width) {
        // Drifting hues with a little noise: thousands of colours, neighbours close.
        std::vector<ColourValue> cells;
        const std::size_t offset = random() % 256;
        for (std::size_t x = 0; x < width; ++x) {
            cells.push_back(makeColour(int((x + offset) / 3 % 256), 90 + int(random() % 6),
                int((x / 5 + random() % 4) % 256)));
        }
        return cells;
    };
    for (int trial = 0; trial < 4; ++trial) {
        RowFitter used({ true, true }), fresh({ true, true });
        for (int y = 0; y < 8; ++y) {
            used.load(row(900));
            used.fit(2.0 + trial, trial);
        }
        std::vector<ColourValue> cells = row(700), again = cells;
        std::vector<std::uint32_t> starts, startsAgain;
        fresh.load(cells);
        fresh.fit(2.0 + trial, trial);
        fresh.apply(cells, starts);
        used.load(again);
        used.fit(2.0 + trial, trial);
        used.apply(again, startsAgain);
        EXPECT_EQ(startsAgain, starts) << "trial " << trial;
        EXPECT_EQ(again, cells) << "trial " << trial;
    }
}
