#include "convert/colourdifference.h"
#include "convert/runplanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

TEST(RunPlanner, twoSharesPlannedTogetherCutAsEachAlone)
{
    // Drifting rows with jumps, over the shares a row is fitted at, the stretches of one colour
    // among them; the row prepared once, then planned again and again.
    std::mt19937 random(7);
    RunPlanner planner, alone;
    bool differs = false;
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<LabColour> labs;
        int r = 128, g = 128, b = 128;
        const std::size_t length = 1 + random() % 700;
        while (labs.size() < length) {
            auto step = [&](int& c) {
                c = random() % 30 == 0 ? int(random() % 256)
                                       : std::clamp(c + int(random() % 7) - 3, 0, 255);
            };
            step(r), step(g), step(b);
            labs.insert(labs.end(), 1 + random() % 3, labOf(makeColour(r, g, b)));
        }
        const double tolerance = 1.0 + double(random() % 120) / 10.0;
        planner.prepare(labs, tolerance);
        for (double share : { 1.0, 1.0 / 4, 1.0 / 16, 1.0 / 64 }) {
            std::vector<std::size_t> ends, closer, expected, expectedCloser;
            planner.plan(ends, share, closer, share * 4);
            alone.plan(labs, tolerance, expected, share);
            alone.plan(labs, tolerance, expectedCloser, share * 4);
            ASSERT_EQ(ends, expected) << trial << " at " << share;
            ASSERT_EQ(closer, expectedCloser) << trial << " at " << share * 4;
            // Different cuts at the two shares somewhere, or both would be one plan twice.
            differs = differs || ends != closer;
        }
    }
    EXPECT_TRUE(differs);
}

TEST(RunPlanner, everyRunsBoxSeenFromItsMeanIsWithinTheTolerance)
{
    // Noisy rows at tolerances where many boxes are too wide: a box kept for the wrong cells,
    // or a verdict kept from the cell before, lets a run through whose own box is not within.
    std::mt19937 random(11);
    RunPlanner planner;
    int cut = 0;
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<LabColour> labs;
        int grey = 120;
        const std::size_t length = 1 + random() % 400;
        // Every other row drifts slowly: runs of about the longest tried at every length.
        const int drift = trial % 2 ? 4 : 1;
        while (labs.size() < length) {
            grey = std::clamp(grey + int(random() % unsigned(2 * drift + 1)) - drift, 0, 255);
            labs.insert(labs.end(), 1 + random() % 2,
                labOf(makeColour(grey, grey + int(random() % 5), grey)));
        }
        const double tolerance = 1.0 + double(random() % 40) / 10.0;
        std::vector<std::size_t> ends;
        planner.plan(labs, tolerance, ends, 1.0 / double(1 << (random() % 8)));
        const auto weights = planner.stepWeights();
        std::size_t begin = 0;
        for (std::size_t end : ends) {
            double low[3] = { 1e9, 1e9, 1e9 }, high[3] = { -1e9, -1e9, -1e9 }, mean[3] = {};
            for (std::size_t i = begin; i < end; ++i) {
                const double lab[3] = { labs[i].l, labs[i].a, labs[i].b };
                for (int c = 0; c < 3; ++c) {
                    low[c] = std::min(low[c], lab[c]);
                    high[c] = std::max(high[c], lab[c]);
                    mean[c] += lab[c] / double(end - begin);
                }
            }
            double reach = 0;
            for (int c = 0; c < 3; ++c) {
                const double far = std::max(mean[c] - low[c], high[c] - mean[c]);
                reach += weights[end - 1][std::size_t(c)] * far * far;
            }
            ASSERT_LE(reach, tolerance * tolerance * (1.0 + 1e-9)) << trial << " at " << begin;
            begin = end;
        }
        cut += int(ends.size()) - 1;
    }
    // Runs are cut often, or the boxes were never in question.
    EXPECT_GT(cut, 400);
}
