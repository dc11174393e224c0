#include "convert/colourdifference.h"
#include "convert/runplanner.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mosaiq;

namespace {

std::vector<std::size_t> plan(const std::vector<ColourValue>& cells, double tolerance)
{
    std::vector<LabColour> labs;
    for (ColourValue cell : cells)
        labs.push_back(labOf(cell));
    std::vector<std::size_t> ends;
    RunPlanner().plan(labs, tolerance, ends);
    return ends;
}

std::vector<ColourValue> stretches(const std::vector<std::pair<int, int>>& greysAndLengths)
{
    std::vector<ColourValue> cells;
    for (const auto& [grey, length] : greysAndLengths)
        cells.insert(cells.end(), std::size_t(length), makeColour(grey, grey, grey));
    return cells;
}

} // namespace

TEST(RunPlanner, cutsAtEveryStepBeyondTheToleranceAndNowhereInAFlatStretch)
{
    EXPECT_TRUE(plan({}, 4.0).empty());
    EXPECT_EQ(plan({ makeColour(1, 2, 3) }, 4.0), (std::vector<std::size_t> { 1 }));
    // Steps of 40 grey levels, far beyond 4; stretches shorter and longer than those tried at
    // every length.
    const auto cells = stretches({ { 40, 1 }, { 80, 30 }, { 120, 300 }, { 160, 5 } });
    EXPECT_EQ(plan(cells, 4.0), (std::vector<std::size_t> { 1, 31, 331, 336 }));
}

TEST(RunPlanner, paysATagWhereItBringsManyCellsCloserButNotForAFew)
{
    // Two greys a small step apart, both within the tolerance of their middle.
    const double step
        = ciede2000(labOf(makeColour(100, 100, 100)), labOf(makeColour(106, 106, 106)));
    ASSERT_LT(step, 6.0);
    const auto cut = plan(stretches({ { 100, 200 }, { 106, 200 } }), 6.0);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_NEAR(double(cut[0]), 200.0, 16.0);
    EXPECT_EQ(plan(stretches({ { 100, 3 }, { 106, 3 } }), 6.0), (std::vector<std::size_t> { 6 }));
}
