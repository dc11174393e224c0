#include "convert/colourdifference.h"
#include "convert/conversionrun.h"
#include "convert/mergedrow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

std::uint32_t argb(ColourValue colour)
{
    const auto bits = static_cast<std::uint32_t>(colour);
    return 0xFF000000u | ((bits & 0xFF) << 16) | (bits & 0xFF00) | ((bits >> 16) & 0xFF);
}

// One row of cells of the given colours, as the engine writes it.
struct OneRow {
    std::string row, page;
    std::vector<std::uint32_t> starts;
    std::vector<ColourValue> colours;
};

OneRow runRow(const std::vector<ColourValue>& colours, std::optional<double> tolerance,
    std::u32string_view characters, CellMode mode = CellMode::Letter,
    GlyphSource source = GlyphSource::Defined)
{
    std::vector<std::uint32_t> words;
    for (ColourValue c : colours)
        words.push_back(argb(c));
    // Columns sample pixel nearest(x (W - 1) / m): one more pixel than cells, first never read.
    words.insert(words.begin(), argb(0));
    RunStart start;
    start.rows = 1;
    start.glyphSource = source;
    start.mergeTolerance = tolerance;
    RandomGlyphs random;
    ConversionRun run(start, random);
    const int width = int(words.size());
    RowInput input { double(colours.size()), 1, mode, characters,
        { words.data(), width, 1, width } };
    run.buildRow(input);
    const auto starts = run.runStarts();
    const auto runColours = run.cellColours();
    return { std::string(run.row()), std::string(run.pageRow()), { starts.begin(), starts.end() },
        { runColours.begin(), runColours.end() } };
}

} // namespace

TEST(ColourDifference, agreesWithThePublishedCiede2000Pairs)
{
    // Pairs from the CIEDE2000 test data set, hue wrap-around and grey included.
    struct Pair {
        LabColour first, second;
        double difference;
    };
    const Pair pairs[] = {
        { { 50, 2.6772, -79.7751 }, { 50, 0, -82.7485 }, 2.0425 },
        { { 50, 3.1571, -77.2803 }, { 50, 0, -82.7485 }, 2.8615 },
        { { 50, 0, 0 }, { 50, -1, 2 }, 2.3669 },
        { { 50, 2.49, -0.001 }, { 50, -2.49, 0.0009 }, 7.1792 },
        { { 50, 2.49, -0.001 }, { 50, -2.49, 0.0011 }, 7.2195 },
        { { 50, 2.5, 0 }, { 73, 25, -18 }, 27.1492 },
        { { 60.2574, -34.0099, 36.2677 }, { 60.4626, -34.1751, 39.4387 }, 1.2644 },
    };
    for (const Pair& p : pairs) {
        EXPECT_NEAR(ciede2000(p.first, p.second), p.difference, 5e-5);
        EXPECT_NEAR(ciede2000(p.second, p.first), p.difference, 5e-5);
    }
    EXPECT_NEAR(ciede2000(labOf(0), labOf(0xFFFFFF)), 100.0, 1e-3);
    EXPECT_EQ(ciede2000(labOf(0x123456), labOf(0x123456)), 0.0);
}

TEST(MergedRuns, joinWhileTheDifferenceToTheRunsFirstColourIsWithinTolerance)
{
    const ColourValue a = makeColour(100, 100, 100), b = makeColour(103, 100, 100),
                      c = makeColour(110, 100, 100);
    const double ab = ciede2000(labOf(a), labOf(b)), ac = ciede2000(labOf(a), labOf(c));
    ASSERT_LT(ab, ciede2000(labOf(b), labOf(c)));
    struct Case {
        double tolerance;
        std::vector<std::uint32_t> starts;
        std::vector<ColourValue> colours;
    };
    const Case cases[] = {
        { 0, { 0, 1, 2, 3 }, { a, b, c, a } }, // equal colours only
        { std::nextafter(ab, 0.0), { 0, 1, 2, 3 }, { a, b, c, a } }, // just short of a to b
        { ab, { 0, 2, 3 }, { a, a, c, a } }, // b joins a; c is measured against a, not b
        { ac, { 0 }, { a, a, a, a } },
    };
    for (const Case& k : cases) {
        std::vector<ColourValue> colours { a, b, c, a };
        std::vector<std::uint32_t> starts;
        groupRuns(colours, k.tolerance, starts);
        EXPECT_EQ(starts, k.starts) << k.tolerance;
        EXPECT_EQ(colours, k.colours) << k.tolerance;
    }
}

TEST(MergedRuns, escapeWhatHtmlReadsAsMarkupInThePageAndTheCodes)
{
    const ColourValue red = makeColour(255, 0, 0);
    const std::u32string hostile = U"<script>&lt;\"é";
    // The first cell takes the second character: start the cycle one back.
    const std::u32string cycle = hostile.back() + hostile.substr(0, hostile.size() - 1);
    const OneRow row = runRow(std::vector<ColourValue>(hostile.size(), red), 0.0, cycle);
    EXPECT_EQ(row.row, "<font color=\"#FF0000\">&lt;script&gt;&amp;lt;&quot;\xC3\xA9</font><br>");
    EXPECT_EQ(row.page, "<font color=\"#FF0000\">&lt;script&gt;&amp;lt;&quot;\xE9</font><br>");

    const OneRow square = runRow({ red, red }, 0.0, U"88", CellMode::Square);
    EXPECT_EQ(square.row,
        "<span style=\"background-color: #FF0000\"><font color=\"#FF0000\">88</font></span><br>");
}

TEST(MergedRuns, drawTheSameRandomGlyphsAsSeparateCells)
{
    std::vector<ColourValue> colours(40, makeColour(9, 9, 9));
    colours[17] = makeColour(200, 0, 0);
    const OneRow merged = runRow(colours, 0.0, U"", CellMode::Letter, GlyphSource::Random);
    const OneRow separate = runRow(colours, {}, U"", CellMode::Letter, GlyphSource::Random);
    auto glyphsOf = [](const std::string& row) {
        std::string glyphs;
        bool inTag = false;
        for (char c : row.substr(0, row.size() - 4)) {
            if (c == '<' || c == '>')
                inTag = c == '<';
            else if (!inTag)
                glyphs += c;
        }
        return glyphs;
    };
    EXPECT_EQ(merged.starts, (std::vector<std::uint32_t> { 0, 17, 18 }));
    EXPECT_EQ(glyphsOf(merged.row), glyphsOf(separate.row));
    EXPECT_EQ(glyphsOf(merged.row).size(), 40u);
    EXPECT_TRUE(separate.starts.empty());
}

// Cells chosen by shape share their runs' colours, not their characters: a background's span
// holds the fonts of the inks in it, cut where it ends, and every glyph stays in its place.
TEST(MergedRuns, cellsChosenByShapeShareTheirColoursKeepingTheirCharacters)
{
    const ColourValue a = makeColour(10, 20, 30), b = makeColour(200, 100, 0);
    const ColourValue near = makeColour(11, 20, 30);
    const std::vector<Glyph> glyphs = glyphsFor(U"ab<\u2588d");
    const auto build = [&](std::vector<ColourValue> inks, std::vector<ColourValue> backgrounds) {
        MergedRow row(2.0), backgroundRuns(2.0);
        row.buildShaped(inks, backgrounds, glyphs, backgroundRuns);
        return std::pair(std::string(row.row()), std::string(row.pageRow()));
    };
    const std::string spanA = "<span style=\"background-color: #0A141E\">";
    const std::string spanB = "<span style=\"background-color: #C86400\">";
    const std::string fontA = "<font color=\"#0A141E\">", fontB = "<font color=\"#C86400\">";
    // Two colours, each cell's ink on the other's background: two runs of both.
    const auto [two, twoPage] = build({ a, near, a, b, b }, { b, b, b, a, near });
    EXPECT_EQ(
        two, spanB + fontA + "ab&lt;</font></span>" + spanA + fontB + "\u2588d</font></span><br>");
    EXPECT_EQ(twoPage,
        spanB + fontA + "ab&lt;</font></span>" + spanA + fontB + "&#9608;d</font></span><br>");
    // One background under two inks; an ink run crossing a background's end is cut there.
    EXPECT_EQ(build({ a, a, b, b, b }, { b, b, b, b, b }).first,
        spanB + fontA + "ab</font>" + fontB + "&lt;\u2588d</font></span><br>");
    EXPECT_EQ(build({ a, a, a, a, a }, { b, b, b, a, a }).first,
        spanB + fontA + "ab&lt;</font></span>" + spanA + fontA + "\u2588d</font></span><br>");
}
