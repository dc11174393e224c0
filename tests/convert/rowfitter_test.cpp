#include "convert/colourvalue.h"
#include "convert/rowfitter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace mosaiq;

namespace {

struct Fitted {
    std::vector<ColourValue> colours;
    std::vector<std::uint32_t> starts;
};

Fitted fitRow(RowFitter& fitter, const std::vector<ColourValue>& cells, double tolerance, int step)
{
    Fitted fitted { cells, {} };
    fitter.load(cells);
    fitter.fit(tolerance, step);
    fitter.apply(fitted.colours, fitted.starts);
    return fitted;
}

} // namespace

TEST(RowFitter, fitsARowTheSameWhateverRowsItFittedBefore)
{
    // A fitter remembers the L*a*b* of colours it met; rows of thousands of colours, many
    // sharing its slots, then one whose colours differ from them by a bit or two: its runs are
    // those of a fitter that never fitted anything.
    std::mt19937 random(11);
    auto noisyRow = [&random](std::size_t width, ColourValue base, int spread) {
        std::vector<ColourValue> row;
        for (std::size_t x = 0; x < width; ++x) {
            const int shift = int(random() % unsigned(spread));
            row.push_back(base + makeColour(shift, (shift * 3) % spread, int(random() % 3)));
        }
        return row;
    };
    for (int trial = 0; trial < 6; ++trial) {
        const double tolerance = 1.5 + trial;
        const int step = trial % 5;
        RowFitter used({ true, true });
        for (int y = 0; y < 12; ++y)
            fitRow(used, noisyRow(900, makeColour(40, 90, 30), 60), tolerance, step);
        auto row = noisyRow(700, makeColour(41, 90, 31), 60);
        const Fitted fresh = [&] {
            RowFitter unused({ true, true });
            return fitRow(unused, row, tolerance, step);
        }();
        const Fitted again = fitRow(used, row, tolerance, step);
        EXPECT_EQ(again.starts, fresh.starts) << "trial " << trial;
        EXPECT_EQ(again.colours, fresh.colours) << "trial " << trial;
    }
}
