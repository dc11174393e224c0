#include "convert/colourdifference.h"
#include "convert/mergedrow.h"
#include "convert/runchooser.h"
#include "convert/taglayers.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codefit.h"
#include "support/fittedcode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

ColourValue colourOfText(const std::string& text)
{
    for (const NamedColour& named : namedColours())
        if (named.name == text)
            return named.colour;
    const auto value = std::uint32_t(std::stoul(text.substr(1), nullptr, 16));
    if (text.size() == 4) // #RGB: each digit doubled
        return makeColour(int(value >> 8) * 17, int(value >> 4 & 15) * 17, int(value & 15) * 17);
    return makeColour(int(value >> 16), int(value >> 8 & 255), int(value & 255));
}

struct ReadRow {
    std::vector<ColourValue> shown; // each glyph in the colour of the innermost tag around it
    std::size_t tagCharacters = 0, deepest = 0;
};

// Reads a row of [color] code with a stack, as a forum whose colour tags nest does; fails the
// test on a close with nothing open, a glyph outside every tag or a tag left open.
ReadRow readRow(std::string_view row)
{
    ReadRow read;
    std::vector<ColourValue> open;
    for (std::size_t i = 0; i < row.size() && row[i] != '\r';) {
        const std::string_view rest = row.substr(i);
        const std::size_t tag = rest.starts_with("[/color]") ? 8
            : rest.starts_with("[color=")                    ? rest.find(']') + 1
                                                             : 0;
        if (open.empty() && tag <= 8) {
            ADD_FAILURE() << "a close or a glyph with no tag open: " << row;
            return read;
        }
        if (tag == 8) {
            open.pop_back();
        } else if (tag > 0) {
            open.push_back(colourOfText(std::string(rest.substr(7, tag - 8))));
            read.deepest = std::max(read.deepest, open.size());
        } else {
            read.shown.push_back(open.back());
        }
        read.tagCharacters += tag;
        i += std::max<std::size_t>(tag, 1);
    }
    EXPECT_TRUE(open.empty()) << row;
    return read;
}

} // namespace

TEST(BracketCode, nestedRunsShowEachCellWithinTheToleranceInNoMoreTagsThanTheMergedRuns)
{
    const ForumDialect& phpbb = *findDialect("phpbb");
    const ForumDialect& flat = *findDialect("vbulletin");
    std::mt19937 random(5);
    std::size_t takenBack = 0, deepest = 0;
    for (int trial = 0; trial < 600; ++trial) {
        // Textured rows: cells come and go around a drifting base, now and then far from it.
        std::vector<ColourValue> cells(random() % 25 == 0 ? 800 : 1 + random() % 60);
        const int noise = 2 + int(random() % 30);
        int base[3] = { int(random() % 256), int(random() % 256), int(random() % 256) };
        for (ColourValue& cell : cells) {
            int c[3];
            for (int k = 0; k < 3; ++k) {
                base[k] = std::clamp(base[k] + int(random() % 5) - 2, 0, 255);
                c[k] = random() % 15 == 0
                    ? int(random() % 256)
                    : std::clamp(base[k] + int(random() % 64) % noise, 0, 255);
            }
            cell = makeColour(c[0], c[1], c[2]);
        }
        const double tolerance = 1.0 + double(random() % 150) / 10.0;
        const bool brackets = trial % 3 == 0; // glyphs that stand alone, each in a tag of its own
        std::vector<Glyph> glyphs;
        for (std::size_t i = 0; i < cells.size(); ++i)
            glyphs.push_back(glyphFor(brackets ? U"o[]"[random() % 3] : U'o'));

        std::vector<ColourValue> colours = cells, merged = cells;
        std::vector<std::uint32_t> starts, mergedStarts;
        std::vector<std::uint8_t> nesting;
        RunChooser(phpbb.forms).choose(colours, tolerance, starts, &nesting);
        takenBack += std::size_t(std::count_if(nesting.begin(), nesting.end(),
            [](std::uint8_t n) { return (n & TagLayers::TakesBack) != 0; }));
        BuiltRow row;
        row.colours = colours;
        row.glyphs = glyphs;
        row.runStarts = starts;
        row.runNesting = nesting;
        SCOPED_TRACE("trial " + std::to_string(trial));

        BracketCode nested(phpbb, 1, true, phpbb.forms);
        nested.rowBuilt(row);
        const ReadRow read = readRow(nested.lastRow());
        ASSERT_EQ(read.shown, colours) << "each cell in the colour --stats measures";
        for (std::size_t i = 0; i < cells.size(); ++i)
            ASSERT_LE(ciede2000(labOf(colours[i]), labOf(cells[i])), tolerance) << i;
        EXPECT_LE(read.deepest, TagLayers::MostOpen + (brackets ? 1 : 0));
        deepest = std::max(deepest, read.deepest);
        groupRuns(merged, tolerance, mergedStarts);
        std::size_t mergedCharacters = 0;
        for (std::uint32_t start : mergedStarts)
            mergedCharacters += 16 + colourTextLength(merged[start], phpbb.forms);
        EXPECT_TRUE(brackets || read.tagCharacters <= mergedCharacters) << mergedCharacters;

        // A forum not known to nest its tags, given the same row: a tag per run.
        BracketCode sideBySide(flat, 1, true, flat.forms);
        sideBySide.rowBuilt(row);
        const ReadRow flatRead = readRow(sideBySide.lastRow());
        EXPECT_EQ(flatRead.deepest, 1u);
        EXPECT_EQ(flatRead.shown, colours);
    }
    EXPECT_GT(takenBack, 1000u) << "textured rows come back to their colours";
    EXPECT_GT(deepest, 3u);
}

TEST(CodeFit, nestedTagsFitTheLargestGridWhoseCodeFits)
{
    std::mt19937 random(11);
    std::vector<std::uint32_t> sand; // 60 x 45 cells of a few near colours at random
    const std::uint32_t grains[] = { 0xC8A070, 0xD0A878, 0xB89060, 0xC09868, 0x9C7850 };
    for (int i = 0; i < 60 * 45; ++i)
        sand.push_back(0xFF000000u | grains[random() % 5]);
    const ForumDialect& phpbb = *findDialect("phpbb");
    CodeMeasure measure;
    measure.start.mergeTolerance = 6.0;
    measure.start.bestRuns = true;
    measure.start.colourForms = phpbb.forms;
    measure.input = { 0, 0, CellMode::Letter, U"o", { sand.data(), 60, 45, 60 } };
    measure.dialect = &phpbb;
    measure.cellAspect = 1.0; // square cells: three rows for four columns
    for (std::size_t limit : { 2'500u, 12'000u }) {
        const FitResult fit = fitGrid(measure, limit);
        ASSERT_TRUE(fit.fits && fit.characters <= limit && fit.grid.columns < 60) << limit;
        const std::int64_t columns = fit.grid.columns + 1;
        const GridSize more { columns, std::int64_t(std::nearbyint(columns * 0.75)) };
        EXPECT_GT(measureCode(measure, more, SIZE_MAX).characters, limit);

        // What the run writes at that grid is what was measured, nested.
        const std::string written = fittedCode(measure, fit.grid);
        EXPECT_EQ(sizeIn(written, LimitUnit::Characters), fit.characters);
        EXPECT_GT(readRow(written).deepest, 1u);
    }
}
