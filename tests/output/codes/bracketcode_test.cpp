#include "convert/colourdifference.h"
#include "convert/colourform.h"
#include "convert/mergedrow.h"
#include "convert/runchooser.h"
#include "convert/taglayers.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codefit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

ColourValue colourOfText(std::string_view text)
{
    auto digit
        = [&](std::size_t i) { return std::stoi(std::string(text.substr(i, 1)), nullptr, 16); };
    if (text.size() == 4 && text[0] == '#')
        return makeColour(digit(1) * 17, digit(2) * 17, digit(3) * 17);
    if (text.size() == 7 && text[0] == '#')
        return makeColour(
            digit(1) * 16 + digit(2), digit(3) * 16 + digit(4), digit(5) * 16 + digit(6));
    for (const NamedColour& named : namedColours()) {
        if (named.name == text)
            return named.colour;
    }
    ADD_FAILURE() << "no colour: " << text;
    return InvalidColour;
}

struct ReadRow {
    std::vector<ColourValue> shown; // each glyph's colour: the innermost tag's around it
    std::size_t tagCharacters = 0;
    std::size_t deepest = 0; // the most colour tags open at once
};

// Reads one row of [color] code as a forum whose colour tags nest does. Fails the test on a close
// with nothing open, a glyph outside every tag or a tag left open at the row's end.
ReadRow readRow(std::string_view row)
{
    constexpr std::string_view Open = "[color=", Close = "[/color]";
    ReadRow read;
    std::vector<ColourValue> open;
    for (std::size_t i = 0; i < row.size() && !row.substr(i).starts_with("\r\n");) {
        const std::string_view rest = row.substr(i);
        if (rest.starts_with(Close)) {
            EXPECT_FALSE(open.empty()) << "a close with nothing open in " << row;
            if (!open.empty())
                open.pop_back();
            read.tagCharacters += Close.size();
            i += Close.size();
        } else if (rest.starts_with(Open)) {
            const std::size_t end = rest.find(']');
            open.push_back(colourOfText(rest.substr(Open.size(), end - Open.size())));
            read.deepest = std::max(read.deepest, open.size());
            read.tagCharacters += end + 1;
            i += end + 1;
        } else {
            EXPECT_FALSE(open.empty()) << "a glyph outside every tag in " << row;
            read.shown.push_back(open.empty() ? InvalidColour : open.back());
            ++i;
        }
    }
    EXPECT_TRUE(open.empty()) << "left open: " << row;
    return read;
}

// A textured row: cells come and go around a drifting base, now and then far from it.
std::vector<ColourValue> texturedRow(std::mt19937& random)
{
    const std::size_t length = random() % 25 == 0 ? 400 + random() % 400 : 1 + random() % 60;
    const int noise = 2 + int(random() % 30);
    int base[3] = { int(random() % 256), int(random() % 256), int(random() % 256) };
    std::vector<ColourValue> cells;
    for (std::size_t i = 0; i < length; ++i) {
        int channel[3];
        for (int c = 0; c < 3; ++c) {
            base[c] = std::clamp(base[c] + int(random() % 5) - 2, 0, 255);
            channel[c] = random() % 15 == 0
                ? int(random() % 256)
                : std::clamp(base[c] + int(random() % unsigned(noise)) - noise / 2, 0, 255);
        }
        cells.push_back(makeColour(channel[0], channel[1], channel[2]));
    }
    return cells;
}

std::size_t mergedTagCharacters(std::vector<ColourValue> cells, double tolerance, ColourForms forms)
{
    std::vector<std::uint32_t> starts;
    groupRuns(cells, tolerance, starts);
    std::size_t characters = 0;
    for (std::uint32_t start : starts)
        characters += 16 + colourTextLength(cells[start], forms);
    return characters;
}

} // namespace

TEST(BracketCode, nestedRunsShowEachCellWithinTheToleranceInNoMoreTagsThanTheMergedRuns)
{
    const ForumDialect& phpbb = *findDialect("phpbb");
    const ForumDialect& flat = *findDialect("vbulletin");
    ASSERT_TRUE(phpbb.forms.nestedTags);
    ASSERT_FALSE(flat.forms.nestedTags);
    std::mt19937 random(5);
    std::size_t takenBack = 0, deepest = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const std::vector<ColourValue> cells = texturedRow(random);
        const double tolerance = 1.0 + double(random() % 150) / 10.0;
        // A third of the rows with glyphs that stand alone, each in a tag of its own.
        const bool brackets = trial % 3 == 0;
        std::vector<Glyph> glyphs;
        for (std::size_t i = 0; i < cells.size(); ++i)
            glyphs.push_back(glyphFor(brackets ? U"o[]"[random() % 3] : U'o'));

        std::vector<ColourValue> colours = cells;
        std::vector<std::uint32_t> starts;
        std::vector<std::uint8_t> nesting;
        RunChooser(phpbb.forms).choose(colours, tolerance, starts, &nesting);
        BuiltRow row;
        row.number = 1;
        row.colours = colours;
        row.glyphs = glyphs;
        row.runStarts = starts;
        row.runNesting = nesting;
        row.sampledColours = cells;
        takenBack += std::size_t(std::count_if(nesting.begin(), nesting.end(),
            [](std::uint8_t n) { return (n & TagLayers::TakesBack) != 0; }));

        SCOPED_TRACE("trial " + std::to_string(trial) + ", tolerance " + std::to_string(tolerance));
        BracketCode nested(phpbb, 1, true, phpbb.forms);
        nested.rowBuilt(row);
        const ReadRow read = readRow(nested.lastRow());
        ASSERT_EQ(read.shown, colours) << "each cell shown in the colour --stats measures";
        for (std::size_t i = 0; i < cells.size(); ++i)
            ASSERT_LE(ciede2000(labOf(read.shown[i]), labOf(cells[i])), tolerance) << "cell " << i;
        EXPECT_LE(read.deepest, TagLayers::MostOpen + (brackets ? 1 : 0));
        deepest = std::max(deepest, read.deepest);
        if (!brackets) {
            ASSERT_LE(read.tagCharacters, mergedTagCharacters(cells, tolerance, phpbb.forms));
        }

        // A forum whose tags were not checked to nest is given the same row: a tag per run.
        BracketCode sideBySide(flat, 1, true, flat.forms);
        sideBySide.rowBuilt(row);
        const ReadRow flatRead = readRow(sideBySide.lastRow());
        EXPECT_EQ(flatRead.deepest, 1u);
        ASSERT_EQ(flatRead.shown, colours);
    }
    EXPECT_GT(takenBack, 1000u) << "the rows are textured: many runs come back";
    EXPECT_GT(deepest, 3u);
}

TEST(CodeFit, nestedTagsFitTheLargestGridWhoseCodeFits)
{
    // A 60 x 45 sand: a few near colours at random.
    std::mt19937 random(11);
    std::vector<std::uint32_t> words;
    const std::uint32_t sand[] = { 0xC8A070, 0xD0A878, 0xB89060, 0xC09868, 0x9C7850 };
    for (int i = 0; i < 60 * 45; ++i)
        words.push_back(0xFF000000u | sand[random() % 5]);
    const ForumDialect& phpbb = *findDialect("phpbb");
    CodeMeasure measure;
    measure.start.mergeTolerance = 6.0;
    measure.start.bestRuns = true;
    measure.start.colourForms = phpbb.forms;
    measure.input.definedCharacters = U"o";
    measure.input.picture = { words.data(), 60, 45, 60 };
    measure.dialect = &phpbb;
    for (std::size_t limit : { 2'500u, 12'000u }) {
        const FitResult fit = fitGrid(measure, limit);
        ASSERT_TRUE(fit.fits) << limit;
        ASSERT_LT(fit.grid.columns, 60) << limit;
        const std::int64_t columns = fit.grid.columns + 1;
        const GridSize more { columns, std::int64_t(std::nearbyint(columns * 0.75)) };
        EXPECT_GT(measureCode(measure, more, SIZE_MAX).characters, limit);

        // The code the run writes at that grid is the size measured, and nests.
        RunStart start = measure.start;
        start.rows = double(fit.grid.rows);
        RowInput input = measure.input;
        input.columns = double(fit.grid.columns);
        input.rows = start.rows;
        FixedSettings settings(input, {});
        struct : PageSink {
            bool writeLine(std::string_view) override { return true; }
        } page;
        RandomGlyphs glyphs;
        RowLoop loop(start, settings, page, glyphs);
        BracketCode code(phpbb, fit.grid.rows, true, phpbb.forms);
        loop.addSink(code);
        loop.runToEnd();
        const std::string whole = code.takeCode({});
        EXPECT_EQ(sizeIn(whole, LimitUnit::Characters), fit.characters);
        EXPECT_LE(fit.characters, limit);
        EXPECT_GT(readRow(whole.substr(0, whole.find("\r\n") + 2)).deepest, 1u);
    }
}
