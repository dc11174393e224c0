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
    const auto cut = plan(stretches({ { 100, 200 }, { 106, 200 } }), 16.0);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_NEAR(double(cut[0]), 200.0, 16.0);
    EXPECT_EQ(plan(stretches({ { 100, 3 }, { 106, 3 } }), 16.0), (std::vector<std::size_t> { 6 }));
    // The cut is still paid for after single cells each far from the last (runs of their own).
    EXPECT_EQ(
        plan(stretches({ { 40, 1 }, { 80, 1 }, { 140, 1 }, { 100, 200 }, { 106, 200 } }), 6.0),
        (std::vector<std::size_t> { 1, 2, 3, 203, 403 }));
    // A tighter tolerance asks for closer colours: there the same few cells are worth a tag.
    EXPECT_EQ(
        plan(stretches({ { 100, 3 }, { 106, 3 } }), 4.0), (std::vector<std::size_t> { 3, 6 }));
}

TEST(RunPlanner, aRunGrowsOnFromWhereverItStarted)
{
    // A long flat stretch starting off any grid, after a short one: one run each, however long.
    for (int first : { 3, 13, 37 }) {
        const auto cells = stretches({ { 40, first }, { 160, 700 }, { 80, 9 } });
        EXPECT_EQ(plan(cells, 3.0),
            (std::vector<std::size_t> {
                std::size_t(first), std::size_t(first) + 700, std::size_t(first) + 709 }))
            << first;
    }
    // A slow ramp far longer than the runs tried at every length: its runs are long ones.
    std::vector<ColourValue> ramp;
    for (int i = 0; i < 600; ++i)
        ramp.push_back(makeColour(60 + i / 10, 60 + i / 10, 60 + i / 10));
    const auto ends = plan(ramp, 12.0);
    EXPECT_LT(ends.size(), 600u / 24u);
}
