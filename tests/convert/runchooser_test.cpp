#include "convert/colourdifference.h"
#include "convert/colourform.h"
#include "convert/mergedrow.h"
#include "convert/palette.h"
#include "convert/rowloop.h"
#include "convert/runchooser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>
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
// groupRuns' runs of the same row at the same tolerance.
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
    ASSERT_LE(tagCharacters(best, forms), tagCharacters(plain, forms))
        << cells.size() << " cells at tolerance " << tolerance;
}

// Rows of a photo-like picture: each drifts with noise from the row above, some rows far noisier
// than others, so that neighbouring rows fit at different weights on closeness.
std::vector<std::vector<ColourValue>> photoRows(std::mt19937& random, std::size_t width, int rows)
{
    std::vector<std::vector<ColourValue>> picture;
    std::vector<int> above(width * 3, 128);
    for (int y = 0; y < rows; ++y) {
        const int noise = y % 5 == 0 ? 40 : (y % 3 == 0 ? 3 : 11);
        std::vector<ColourValue> row;
        int drift[3] = { 0, 0, 0 };
        for (std::size_t x = 0; x < width; ++x) {
            int channel[3];
            for (int c = 0; c < 3; ++c) {
                drift[c] = std::clamp(drift[c] + int(random() % 5) - 2, -30, 30);
                int& value = above[x * 3 + std::size_t(c)];
                value = std::clamp(value + drift[c] / 8 + int(random() % 7) - 3, 20, 235);
                channel[c]
                    = std::clamp(value + int(random() % unsigned(noise)) - noise / 2, 0, 255);
            }
            row.push_back(makeColour(channel[0], channel[1], channel[2]));
        }
        picture.push_back(row);
    }
    return picture;
}

} // namespace

TEST(RunChooser, givesTheSameRunsWhetherRowsArePlannedAheadOrOneAfterTheOther)
{
    // Rows planned up to two ahead on the other core, now and then not, or ahead with cells that
    // do not come after all, this thread pausing at random so that either core takes a row: the
    // same runs as rows chosen one after the other on one thread.
    std::mt19937 random(77);
    for (int trial = 0; trial < 4; ++trial) {
        const ColourForms forms { true, true, trial % 2 == 1 }; // half with nested tags
        const auto rows = photoRows(random, 40 + random() % 700, 40);
        const double tolerance = 2.0 + trial * 2.5;
        RunChooser alone(forms), paired(forms);
        std::size_t ahead = 1; // the next row to plan ahead
        for (std::size_t y = 0; y < rows.size(); ++y) {
            ahead = std::max(ahead, y + 1);
            for (std::size_t wanted = y + random() % 3; ahead <= wanted && ahead < rows.size();
                 ++ahead) {
                std::vector<ColourValue> next = rows[ahead];
                if (random() % 8 == 0)
                    next[random() % next.size()] ^= 0x404040;
                paired.planAhead(next, tolerance, ahead - y);
            }
            if (random() % 3 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
            Chosen one { rows[y], {} }, other { rows[y], {} };
            std::vector<std::uint8_t> oneNesting, otherNesting;
            alone.choose(one.colours, tolerance, one.starts, &oneNesting);
            paired.choose(other.colours, tolerance, other.starts, &otherNesting);
            ASSERT_EQ(one.starts, other.starts) << "trial " << trial << " row " << y;
            ASSERT_EQ(oneNesting, otherNesting) << "trial " << trial << " row " << y;
            ASSERT_EQ(one.colours, other.colours) << "trial " << trial << " row " << y;
        }
        // Rows planned ahead that never come (a measure stopped early) go with their chooser.
        paired.planAhead(rows[0], tolerance, 1);
        paired.planAhead(rows[1], tolerance, 2);
    }
}

TEST(RunChooser, runsOfAWholePictureAreThoseOfItsRowsChosenInTurnThroughADiffusedPalette)
{
    // The engine samples each row ahead of its turn so that its runs are planned meanwhile: the
    // rows still go out in order, all of them, mapped to the palette in turn.
    std::mt19937 random(3);
    const int width = 300, height = 24;
    const auto rows = photoRows(random, std::size_t(width), height);
    std::vector<std::uint32_t> words;
    for (const auto& row : rows) {
        for (ColourValue cell : row) {
            const auto bits = static_cast<std::uint32_t>(cell);
            words.push_back(0xFF000000u | ((bits & 0xFF) << 16) | (bits & 0xFF00) | (bits >> 16));
        }
    }
    struct Rows : RowSink, PageSink {
        std::vector<Chosen> rows;
        bool wantsCells() const override { return true; }
        void rowBuilt(const BuiltRow& row) override
        {
            rows.push_back({ { row.colours.begin(), row.colours.end() },
                { row.runStarts.begin(), row.runStarts.end() } });
        }
        bool writeLine(std::string_view) override { return true; }
    };
    auto runOf = [&](bool merged) {
        RunStart start;
        start.rows = height;
        if (merged)
            start.mergeTolerance = 5.0;
        start.bestRuns = merged;
        start.colourForms = { true, false };
        start.palette = std::make_shared<const std::vector<ColourValue>>(std::vector<ColourValue> {
            0x203040, 0x506070, 0x8090A0, 0x6080B0, 0x90A070, 0xB0C0D0, 0x405030, 0x7A7A7A });
        start.dither = Dither::Diffusion;
        const std::u32string characters = U"o";
        RowInput input { double(width), double(height), CellMode::Letter, characters,
            { words.data(), width, height, width } };
        FixedSettings settings(input, {});
        Rows sink;
        RandomGlyphs glyphs;
        RowLoop loop(start, settings, sink, glyphs);
        loop.addSink(sink);
        EXPECT_EQ(loop.runToEnd(), LoopStep::Finished);
        return sink.rows;
    };
    const auto plain = runOf(false), best = runOf(true);
    ASSERT_EQ(plain.size(), std::size_t(height));
    ASSERT_EQ(best.size(), std::size_t(height));
    RunChooser inTurn({ true, false });
    for (int y = 0; y < height; ++y) {
        Chosen expected = plain[std::size_t(y)];
        inTurn.choose(expected.colours, 5.0, expected.starts);
        EXPECT_EQ(best[std::size_t(y)].starts, expected.starts) << "row " << y;
        EXPECT_EQ(best[std::size_t(y)].colours, expected.colours) << "row " << y;
    }
}

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
        // Now and then a long row.
        std::vector<ColourValue> cells(
            trial % 40 == 0 ? 1024 + random() % 3000 : 1 + random() % 40);
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

TEST(RunChooser, cutsWhereOneMoreTagBuysMuchFidelityAndNotForNoise)
{
    // Two long flat stretches a step apart, beyond the tolerance but both within it of their
    // middle: one run would leave every cell half a step off, two runs leave none off.
    const ColourValue dark = makeColour(100, 100, 100), light = makeColour(120, 120, 120);
    const ColourValue middle = makeColour(110, 110, 110);
    ASSERT_GT(ciede2000(labOf(dark), labOf(light)), 6.0);
    ASSERT_LT(ciede2000(labOf(dark), labOf(middle)), 6.0);
    ASSERT_LT(ciede2000(labOf(light), labOf(middle)), 6.0);
    std::vector<ColourValue> step(40, dark);
    step.resize(80, light);
    const Chosen split = choose(step, 6.0);
    EXPECT_EQ(split.starts, (std::vector<std::uint32_t> { 0, 40 }));
    EXPECT_EQ(split.colours.front(), dark);
    EXPECT_EQ(split.colours.back(), light);

    // The same tolerance over a row that only flickers by a unit: one run.
    std::vector<ColourValue> flicker;
    for (int i = 0; i < 80; ++i)
        flicker.push_back(makeColour(110 + i % 2, 110, 110 - i % 3));
    EXPECT_EQ(choose(flicker, 6.0).starts.size(), 1u);
}

TEST(RunChooser, writesAShorterColourWhereItsAddedDifferenceIsWorthTheCharacters)
{
    const ColourForms shortHex { true, false };
    const ColourValue orange = makeColour(255, 136, 0); // #F80
    const std::vector<ColourValue> nearOrange { makeColour(255, 137, 1), makeColour(254, 136, 0),
        makeColour(255, 135, 0) };
    EXPECT_EQ(choose(nearOrange, 3.0, shortHex).colours[0], orange);
    const std::vector<ColourValue> nearRed { makeColour(254, 1, 0), makeColour(255, 0, 1) };
    EXPECT_EQ(choose(nearRed, 3.0, { false, true }).colours[0], makeColour(255, 0, 0));

    // Farther cells: #F80 is beyond a small tolerance; within a larger one, it would still add
    // more difference over a long run than three characters are worth.
    const std::vector<ColourValue> farOrange { makeColour(250, 134, 3), makeColour(255, 140, 0),
        makeColour(252, 138, 6) };
    EXPECT_NE(choose(farOrange, 0.5, shortHex).colours[0], orange);
    std::vector<ColourValue> longRun;
    for (int i = 0; i < 12; ++i)
        longRun.push_back(farOrange[std::size_t(i % 3)]);
    for (ColourValue cell : longRun)
        ASSERT_LE(ciede2000(labOf(orange), labOf(cell)), 6.0);
    const Chosen chosen = choose(longRun, 6.0, shortHex);
    EXPECT_EQ(chosen.starts.size(), 1u);
    EXPECT_NE(chosen.colours[0], orange);

    char text[7];
    EXPECT_EQ(std::string(text, writeColourText(text, makeColour(255, 136, 0), shortHex)), "#F80");
    EXPECT_EQ(
        std::string(text, writeColourText(text, makeColour(255, 0, 0), { true, true })), "red");
    EXPECT_EQ(
        std::string(text, writeColourText(text, makeColour(0, 0, 128), { true, true })), "navy");
    EXPECT_EQ(std::string(text, writeColourText(text, makeColour(255, 136, 0), {})), "#FF8800");
}

TEST(ColourDifference, quickBoundsHoldTheDifferenceBetweenThemAndLabRoundTrips)
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
        const double difference = ciede2000(a, b);
        const DifferenceBounds bounds
            = ciede2000SquaredBounds(a, b, lightnessWeight((a.l + b.l) / 2.0));
        ASSERT_GE(bounds.upper, difference * difference);
        ASSERT_LE(bounds.lower, difference * difference);
        ASSERT_GE(ciede2000SquaredCeiling(a, b), ciede2000(a, b) * ciede2000(a, b));
        ASSERT_EQ(colourOfLab(a), first);
    }
}

TEST(RunChooser, takesTheRunsOfMergeWhereNoPlanFitsTheirCharacters)
{
    // Clusters of cells each a step away from its first in one channel, every cell within the
    // tolerance of the first but the clusters' boxes too wide for any one colour: the plain runs
    // are the fewest. Long rows.
    std::mt19937 random(5);
    for (int trial = 0; trial < 6; ++trial) {
        std::vector<ColourValue> cells;
        const std::size_t length = 1024 + random() % 2000;
        double tolerance = 0;
        while (cells.size() < length) {
            const int r = 40 + int(random() % 170), g = 40 + int(random() % 170),
                      b = 40 + int(random() % 170);
            const ColourValue first = makeColour(r, g, b);
            cells.push_back(first);
            for (std::size_t i = 0, count = 6 + random() % 30; i < count; ++i) {
                const int move = i % 2 == 0 ? 9 : -9;
                const int channel = int(i / 2 % 3);
                const ColourValue cell = makeColour(r + (channel == 0 ? move : 0),
                    g + (channel == 1 ? move : 0), b + (channel == 2 ? move : 0));
                tolerance = std::max(tolerance, ciede2000(labOf(first), labOf(cell)));
                cells.push_back(cell);
            }
        }
        Chosen plain { cells, {} };
        groupRuns(plain.colours, tolerance, plain.starts);
        const Chosen best = choose(cells, tolerance);
        EXPECT_EQ(best.starts, plain.starts) << trial;
        expectSound(cells, tolerance, {});
    }
}
