#include "convert/colourdifference.h"
#include "convert/colourform.h"
#include "convert/mergedrow.h"
#include "convert/runchooser.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace mosaiq;

namespace {

struct Chosen {
    std::vector<ColourValue> colours;
    std::vector<std::uint32_t> starts;
};

Chosen choose(const std::vector<ColourValue>& cells, double tolerance, ColourForms forms = {})
{
    Chosen chosen { cells, {} };
    RunChooser(forms).choose(chosen.colours, tolerance, chosen.starts);
    return chosen;
}

// The characters of a row's colour tags in phpBB ("[color=" + text + "]" + "[/color]").
std::size_t tagCharacters(const Chosen& chosen, ColourForms forms)
{
    std::size_t characters = 0;
    for (std::uint32_t start : chosen.starts)
        characters += 16 + colourTextLength(chosen.colours[start], forms);
    return characters;
}

// Every cell within the tolerance of its run's one colour, and never more tag characters than
// the plain runs of the same row.
void expectSound(const std::vector<ColourValue>& cells, double tolerance, ColourForms forms)
{
    const Chosen best = choose(cells, tolerance, forms);
    Chosen plain { cells, {} };
    groupRuns(plain.colours, tolerance, plain.starts);
    ASSERT_FALSE(best.starts.empty());
    ASSERT_EQ(best.starts[0], 0u);
    for (std::size_t r = 0; r < best.starts.size(); ++r) {
        const std::size_t end = r + 1 < best.starts.size() ? best.starts[r + 1] : cells.size();
        ASSERT_LT(best.starts[r], end);
        const ColourValue colour = best.colours[best.starts[r]];
        for (std::size_t i = best.starts[r]; i < end; ++i) {
            ASSERT_EQ(best.colours[i], colour);
            ASSERT_LE(ciede2000(labOf(colour), labOf(cells[i])), tolerance)
                << "cell " << i << " of " << cells.size() << " at tolerance " << tolerance;
        }
    }
    ASSERT_LE(best.starts.size(), plain.starts.size());
    ASSERT_LE(tagCharacters(best, forms), tagCharacters(plain, forms));
}

} // namespace

TEST(RunChooser, holdsEveryCellWithinTheToleranceAndNeverWritesMoreThanThePlainRuns)
{
    // Every row of five cells drawn from five near colours, then long random rows.
    const std::vector<ColourValue> near { makeColour(120, 80, 60), makeColour(126, 84, 60),
        makeColour(133, 90, 64), makeColour(110, 80, 70), makeColour(140, 96, 70) };
    std::vector<ColourValue> row(5);
    for (int code = 0; code < 5 * 5 * 5 * 5 * 5; ++code) {
        for (int i = 0, rest = code; i < 5; ++i, rest /= 5)
            row[std::size_t(i)] = near[std::size_t(rest % 5)];
        for (double tolerance : { 0.0, 2.0, 4.5, 9.0 })
            expectSound(row, tolerance, {});
    }
    std::mt19937 random(21);
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<ColourValue> cells(1 + random() % 40);
        int r = int(random() % 256), g = int(random() % 256), b = int(random() % 256);
        for (auto& cell : cells) {
            // A drift with noise, and now and then a jump.
            auto step = [&](int& c) {
                c = random() % 12 == 0 ? int(random() % 256)
                                       : std::clamp(c + int(random() % 9) - 4, 0, 255);
            };
            step(r), step(g), step(b);
            cell = makeColour(r, g, b);
        }
        const double tolerance = double(random() % 150) / 10.0;
        expectSound(cells, tolerance, { trial % 2 == 0, trial % 3 == 0 });
    }
}

TEST(RunChooser, holdsAGradientTwiceAsFarAsItsFirstColour)
{
    // Grey from 100 to 124: about 8 apart end to end.
    std::vector<ColourValue> cells;
    for (int v = 100; v <= 124; ++v)
        cells.push_back(makeColour(v, v, v));
    const double span = ciede2000(labOf(cells.front()), labOf(cells.back()));
    const double tolerance = span * 0.55;
    std::vector<ColourValue> plain = cells;
    std::vector<std::uint32_t> plainStarts;
    groupRuns(plain, tolerance, plainStarts);
    EXPECT_EQ(plainStarts.size(), 2u);
    EXPECT_EQ(choose(cells, tolerance).starts.size(), 1u);
}

TEST(RunChooser, writesAShorterColourWhereItHoldsTheRun)
{
    const std::vector<ColourValue> nearOrange { makeColour(250, 134, 3), makeColour(255, 140, 0),
        makeColour(252, 138, 6) };
    const ColourForms shortHex { true, false };
    EXPECT_EQ(choose(nearOrange, 3.0, shortHex).colours[0], makeColour(255, 136, 0));
    // #F80 is too far from the first cell then.
    EXPECT_NE(choose(nearOrange, 0.5, shortHex).colours[0], makeColour(255, 136, 0));
    const std::vector<ColourValue> nearRed { makeColour(250, 4, 2), makeColour(252, 0, 6) };
    EXPECT_EQ(choose(nearRed, 3.0, { false, true }).colours[0], makeColour(255, 0, 0));

    char text[7];
    EXPECT_EQ(std::string(text, writeColourText(text, makeColour(255, 136, 0), shortHex)), "#F80");
    EXPECT_EQ(
        std::string(text, writeColourText(text, makeColour(255, 0, 0), { true, true })), "red");
    EXPECT_EQ(
        std::string(text, writeColourText(text, makeColour(0, 0, 128), { true, true })), "navy");
    EXPECT_EQ(std::string(text, writeColourText(text, makeColour(255, 136, 0), {})), "#FF8800");
}

TEST(ColourDifference, quickBoundIsNeverBelowTheDifferenceAndLabRoundTrips)
{
    std::mt19937 random(2000);
    auto anyColour
        = [&] { return makeColour(int(random() % 256), int(random() % 256), int(random() % 256)); };
    for (int i = 0; i < 200'000; ++i) {
        const ColourValue first = anyColour();
        // Near pairs mostly, where the bound is used.
        const auto bits = static_cast<std::uint32_t>(first);
        auto near = [&](int shift) {
            return std::clamp(int((bits >> shift) & 0xFF) + int(random() % 21) - 10, 0, 255);
        };
        const ColourValue second
            = i % 4 == 0 ? anyColour() : makeColour(near(0), near(8), near(16));
        const LabColour a = labOf(first), b = labOf(second);
        ASSERT_GE(ciede2000Bound(a, b), ciede2000(a, b));
        ASSERT_EQ(colourOfLab(a), first);
    }
}
