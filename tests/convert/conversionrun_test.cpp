#include "convert/conversionrun.h"
#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "support/colourreference.h"
#include "support/pixelat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mosaiq;

namespace {

// A picture held as the engine's 0xAARRGGBB words.
struct TestPicture {
    std::vector<std::uint32_t> words;
    int width = 0, height = 0;

    PixelBuffer buffer() const { return { words.data(), width, height, width }; }
};

std::uint32_t argb(int red, int green, int blue)
{
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

// Top left red, top right green, bottom left blue, bottom right white.
TestPicture fourColours()
{
    return { { argb(255, 0, 0), argb(0, 255, 0), argb(0, 0, 255), argb(255, 255, 255) }, 2, 2 };
}

struct Page {
    std::vector<std::string> lines; // as written, without CR LF
    std::string htmlRows;
    RowOutcome lastOutcome = RowOutcome::Written;
};

// The page as its lines, and the rows for the codes.
struct PageLines : PageSink, RowSink {
    Page page;
    bool writeLine(std::string_view line) override
    {
        page.lines.emplace_back(line);
        return true;
    }
    void rowBuilt(const BuiltRow& row) override { page.htmlRows += row.html; }
};

// Runs to the end with the same row options throughout, as the command-line tool does.
Page runWhole(const RunStart& start, RowInput input, RandomGlyphs* random = nullptr)
{
    RandomGlyphs ownRandom;
    FixedSettings settings(input, start.style);
    PageLines sink;
    RowLoop loop(start, settings, sink, random ? *random : ownRandom);
    loop.addSink(sink);
    loop.runToEnd();
    sink.page.lastOutcome = loop.refusal();
    return sink.page;
}

RunStart startWith(double rows, StyleFlags style = {})
{
    RunStart start;
    start.rows = rows;
    start.style = style;
    return start;
}

RowInput rowsOf(const TestPicture& picture, double columns, double rows, CellMode mode,
    std::u32string_view characters)
{
    RowInput input;
    input.columns = columns;
    input.rows = rows;
    input.mode = mode;
    input.definedCharacters = characters;
    input.picture = picture.buffer();
    return input;
}

const std::string Head = "<HTML><HEAD><Title>apercu</title></HEAD><Body bgcolor=\"#000000\" "
                         "style=\"font-family: Verdana; font-size: 7.5pt\">";

} // namespace

TEST(ConversionRun, writesTheLetterPageOfTheFourColourPicture)
{
    const TestPicture picture = fourColours();
    const Page page = runWhole(startWith(2), rowsOf(picture, 2, 2, CellMode::Letter, U"o"));
    ASSERT_EQ(page.lines.size(), 4u);
    EXPECT_EQ(page.lines[0], Head);
    EXPECT_EQ(page.lines[0].size(), 111u);
    EXPECT_EQ(
        page.lines[1], "<font color=\"#FF0000\">o</font><font color=\"#00FF00\">o</font><br>");
    EXPECT_EQ(
        page.lines[2], "<font color=\"#0000FF\">o</font><font color=\"#FFFFFF\">o</font><br>");
    EXPECT_EQ(page.lines[3], "<br></FONT></BODY></HTML>");
    EXPECT_EQ(page.htmlRows,
        "<font color=\"#FF0000\">o</font><font color=\"#00FF00\">o</font><br>"
        "<font color=\"#0000FF\">o</font><font color=\"#FFFFFF\">o</font><br>");
}

TEST(ConversionRun, writesTheSquarePageInBold)
{
    const TestPicture picture = fourColours();
    const Page page = runWhole(
        startWith(2, { true, false, false }), rowsOf(picture, 2, 2, CellMode::Square, U"o"));
    ASSERT_EQ(page.lines.size(), 4u);
    EXPECT_EQ(page.lines[0], Head + "<b>");
    EXPECT_EQ(page.lines[1],
        "<span style=\"background-color: #FF0000\"><font color=\"#FF0000\">o</font></span>"
        "<span style=\"background-color: #00FF00\"><font color=\"#00FF00\">o</font></span><br>");
    EXPECT_EQ(page.lines[2],
        "<span style=\"background-color: #0000FF\"><font color=\"#0000FF\">o</font></span>"
        "<span style=\"background-color: #FFFFFF\"><font color=\"#FFFFFF\">o</font></span><br>");
    EXPECT_EQ(page.lines[3], "</b><br></FONT></BODY></HTML>");
}

TEST(ConversionRun, opensAndClosesTheStylesInTheSameOrder)
{
    const StyleFlags all { true, true, true };
    EXPECT_EQ(headerLine(0, all), Head + "<b><i><center>");
    EXPECT_EQ(trailerLine(all), "</b></i></center><br></FONT></BODY></HTML>");
    std::string white = Head;
    white.replace(white.find("#000000"), 7, "#FFFFFF");
    EXPECT_EQ(headerLine(0xFFFFFF, {}), white);
}

TEST(ConversionRun, rowLengthsFollowTheCellMarkup)
{
    TestPicture picture { std::vector<std::uint32_t>(37 * 5, argb(1, 2, 3)), 37, 5 };
    RandomGlyphs random;
    for (int m : { 1, 7, 37, 100 }) {
        ConversionRun letter(startWith(1), random);
        letter.buildRow(rowsOf(picture, m, 1, CellMode::Letter, U"o"));
        EXPECT_EQ(letter.row().size(), 30u * m + 4);
        ConversionRun square(startWith(1), random);
        square.buildRow(rowsOf(picture, m, 1, CellMode::Square, U"o"));
        EXPECT_EQ(square.row().size(), 77u * m + 4);
    }
}

TEST(ConversionRun, negativeRowsGiveHeaderAndTrailerOnly)
{
    const TestPicture picture = fourColours();
    const Page page = runWhole(startWith(-5), rowsOf(picture, 2, -5, CellMode::Letter, U"o"));
    EXPECT_EQ(page.lines.size(), 2u);
    EXPECT_TRUE(page.htmlRows.empty());
}

TEST(ConversionRun, columnsBelowOneGiveEmptyRows)
{
    const TestPicture picture = fourColours();
    const Page page = runWhole(startWith(2), rowsOf(picture, 0.4, 2, CellMode::Letter, U"o"));
    ASSERT_EQ(page.lines.size(), 4u);
    EXPECT_EQ(page.lines[1], "<br>");
    EXPECT_EQ(page.lines[2], "<br>");
}

TEST(ConversionRun, definedCharactersCycleOverRowEndsStartingWithTheSecond)
{
    TestPicture picture { std::vector<std::uint32_t>(9, 0), 3, 3 };
    auto glyphsOf = [](const std::string& row) {
        std::string glyphs;
        for (std::size_t at = 0; (at = row.find("\">", at)) != std::string::npos; at += 3)
            glyphs += row[at + 2];
        return glyphs;
    };
    const Page abc = runWhole(startWith(3), rowsOf(picture, 2, 3, CellMode::Letter, U"ABC"));
    EXPECT_EQ(glyphsOf(abc.lines[1]) + "," + glyphsOf(abc.lines[2]) + "," + glyphsOf(abc.lines[3]),
        "BC,AB,CA");
    const Page ab = runWhole(startWith(2), rowsOf(picture, 3, 2, CellMode::Letter, U"AB"));
    EXPECT_EQ(glyphsOf(ab.lines[1]) + "," + glyphsOf(ab.lines[2]), "BAB,ABA");
}

TEST(ConversionRun, glyphsAreWrittenUnescaped)
{
    const TestPicture picture = fourColours();
    RandomGlyphs random;
    ConversionRun run(startWith(1), random);
    run.buildRow(rowsOf(picture, 2, 2, CellMode::Letter, U"<&"));
    EXPECT_EQ(run.row(), "<font color=\"#FF0000\">&</font><font color=\"#00FF00\"><</font><br>");
}

TEST(ConversionRun, randomGlyphsContinueTheSequenceFromRunToRun)
{
    TestPicture picture { std::vector<std::uint32_t>(16, 0), 4, 4 };
    RandomGlyphs shared;
    RunStart start = startWith(4);
    start.glyphSource = GlyphSource::Random;
    const Page first = runWhole(start, rowsOf(picture, 4, 4, CellMode::Letter, U""), &shared);
    const Page second = runWhole(start, rowsOf(picture, 4, 4, CellMode::Letter, U""), &shared);
    EXPECT_NE(first.htmlRows, second.htmlRows);
    RandomGlyphs restarted;
    EXPECT_EQ(runWhole(start, rowsOf(picture, 4, 4, CellMode::Letter, U""), &restarted).htmlRows,
        first.htmlRows);
    EXPECT_EQ(first.htmlRows.substr(22, 1), "R"); // the pinned generator's first draw
}

TEST(ConversionRun, readsModeSizesCharactersAndPictureAgainForEachRow)
{
    const TestPicture picture = fourColours();
    const TestPicture black { { argb(0, 0, 0) }, 1, 1 };
    RandomGlyphs random;
    ConversionRun run(startWith(3), random);
    ASSERT_EQ(run.buildRow(rowsOf(picture, 2, 2, CellMode::Letter, U"o")), RowOutcome::Written);
    EXPECT_EQ(run.row(), "<font color=\"#FF0000\">o</font><font color=\"#00FF00\">o</font><br>");
    // Square mode, one column, other characters and another picture from row 2 on; the cell
    // counter runs on, so the third cell takes "x".
    ASSERT_EQ(run.buildRow(rowsOf(black, 1, 2, CellMode::Square, U"xyz")), RowOutcome::Written);
    EXPECT_EQ(run.row(),
        "<span style=\"background-color: #000000\"><font color=\"#000000\">x</font></span><br>");
    // Back to the first picture; row 3 of 2 lies below it and reads white.
    ASSERT_EQ(run.buildRow(rowsOf(picture, 1, 2, CellMode::Letter, U"o")), RowOutcome::Written);
    EXPECT_EQ(run.row(), "<font color=\"#FFFFFF\">o</font><br>");
    EXPECT_TRUE(run.finished());
}

TEST(ConversionRun, stopsWhenAFieldBecomesUnusableDuringTheRun)
{
    const TestPicture picture = fourColours();
    RandomGlyphs random;
    ConversionRun run(startWith(2), random);
    EXPECT_EQ(
        run.buildRow(rowsOf(picture, 0, 2, CellMode::Letter, U"o")), RowOutcome::InvalidDimensions);
    EXPECT_EQ(
        run.buildRow(rowsOf(picture, 2, 0, CellMode::Letter, U"o")), RowOutcome::InvalidDimensions);
    EXPECT_EQ(run.buildRow(rowsOf(picture, 2, 2, CellMode::Letter, U"")),
        RowOutcome::NoDefinedCharacters);
    EXPECT_EQ(
        run.buildRow(rowsOf(picture, 1e7 + 1, 2, CellMode::Letter, U"o")), RowOutcome::TooLarge);
    EXPECT_EQ(run.rowsDone(), 0);
}

// A character Windows-1252 lacks is its reference in the page, whether the cells are merged or
// not; the codes keep the character. The first cell takes the second character.
TEST(ConversionRun, pageHoldsWindows1252AndReferencesWhereTheCodesHoldUnicode)
{
    struct Case {
        bool merged;
        const char* row;
        const char* page;
    };
    const Case cases[] = {
        { false,
            "<font color=\"#FF0000\">é</font><font color=\"#00FF00\">♥</font>"
            "<font color=\"#00FF00\">😀</font><br>",
            "<font color=\"#FF0000\">\xE9</font><font color=\"#00FF00\">&#9829;</font>"
            "<font color=\"#00FF00\">&#128512;</font><br>" },
        { true, "<font color=\"#FF0000\">é</font><font color=\"#00FF00\">♥😀</font><br>",
            "<font color=\"#FF0000\">\xE9</font><font color=\"#00FF00\">&#9829;&#128512;</font>"
            "<br>" },
    };
    const TestPicture picture = fourColours();
    for (const Case& c : cases) {
        RandomGlyphs random;
        RunStart start = startWith(1);
        if (c.merged)
            start.mergeTolerance = 0;
        ConversionRun run(start, random);
        run.buildRow(rowsOf(picture, 3, 2, CellMode::Letter, U"😀é♥"));
        EXPECT_EQ(run.row(), c.row);
        EXPECT_EQ(run.pageRow(), c.page);
    }
}

TEST(StartChecks, comeInTheirOrder)
{
    StartFields fields { "", "abc", "0", GlyphSource::Defined, true };
    EXPECT_EQ(checkStart(fields), StartCheck::NoPicture);
    fields.picturePath = "p.bmp";
    EXPECT_EQ(checkStart(fields), StartCheck::InvalidDimensions);
    fields.columns = "12abc";
    EXPECT_EQ(checkStart(fields), StartCheck::InvalidDimensions);
    fields.rows = "-5";
    EXPECT_EQ(checkStart(fields), StartCheck::NoDefinedCharacters);
    fields.glyphSource = GlyphSource::Random;
    EXPECT_EQ(checkStart(fields), StartCheck::Passed);
    fields.columns = "";
    EXPECT_EQ(checkStart(fields), StartCheck::InvalidDimensions);
}

TEST(StartChecks, refuseGridsTooLargeToMake)
{
    auto check = [](const char* columns, const char* rows) {
        return checkStart({ "p.bmp", columns, rows, GlyphSource::Defined, false });
    };
    EXPECT_EQ(check("10000000", "10"), StartCheck::Passed);
    EXPECT_EQ(check("10000001", "1"), StartCheck::TooLarge);
    EXPECT_EQ(check("10000", "10001"), StartCheck::TooLarge);
    EXPECT_EQ(check("1e308", "1"), StartCheck::TooLarge);
    EXPECT_EQ(check("1E999", "1"), StartCheck::TooLarge);
    EXPECT_EQ(check("5", "1E999"), StartCheck::TooLarge);
    // Rows of no cell are rows all the same: billions of them are refused too.
    EXPECT_EQ(check("-1e308", "1e308"), StartCheck::TooLarge);
    EXPECT_EQ(check("0.5", "99999999999"), StartCheck::TooLarge);
    EXPECT_EQ(check("0.5", "100000000"), StartCheck::Passed);
    // No row at all makes no cell, however wide.
    EXPECT_EQ(check("20000000", "-5"), StartCheck::Passed);
    EXPECT_EQ(check("1E999", "0.5"), StartCheck::Passed);
}

struct ProgressCase {
    double rows;
    std::vector<int> shown;
};

void PrintTo(const ProgressCase& c, std::ostream* out)
{
    *out << c.rows << " rows";
}

class ProgressTest : public testing::TestWithParam<ProgressCase> { };

TEST_P(ProgressTest, showsTheFlooredShareOfRowsDone)
{
    std::vector<int> shown;
    for (std::int64_t y = 1; y <= loopCount(GetParam().rows); ++y)
        shown.push_back(progressPercent(y, GetParam().rows));
    EXPECT_EQ(shown, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgressTest,
    testing::Values(ProgressCase { 3, { 33, 66, 100 } },
        ProgressCase { 7, { 14, 28, 42, 57, 71, 85, 100 } }, ProgressCase { 2.5, { 40, 80 } }));

TEST(Progress, isClampedWhenTheRowCountShrinksDuringARun)
{
    EXPECT_EQ(progressPercent(9, 1000), 0);
    EXPECT_EQ(progressPercent(10, 1000), 1);
    EXPECT_EQ(progressPercent(5, 2), 100);
    EXPECT_EQ(progressPercent(1, -3), 0);
}

// The run colours cells through a table made once per run; it must agree with the plain
// per-cell definition for every treatment and every set of channels, the invalid colour too.
TEST(ConversionRun, colourTreatmentsAgreeWithThePlainDefinition)
{
    TestPicture picture { std::vector<std::uint32_t>(65 * 2), 65, 2 };
    std::uint32_t seed = 99;
    for (auto& word : picture.words)
        word = (seed = seed * 1664525u + 1013904223u) >> 8;
    for (int treatment = 0; treatment < 5; ++treatment) {
        for (int switches = 0; switches < 8; ++switches) {
            RunStart start = startWith(2);
            start.treatment = ColourTreatment(treatment);
            start.channels = { bool(switches & 1), bool(switches & 2), bool(switches & 4) };
            RandomGlyphs random;
            ConversionRun run(start, random);
            // Row 1 samples pixel row 1, columns 1 to 64; row 2 lies below the picture.
            for (int y = 1; y <= 2; ++y) {
                ASSERT_EQ(run.buildRow(rowsOf(picture, 64, 1, CellMode::Letter, U"o")),
                    RowOutcome::Written);
                const std::string row(run.row());
                for (int x = 1; x <= 64; ++x) {
                    const ColourValue pixel = pixelAt(picture.buffer(), x, y);
                    const std::string expected
                        = DectoWebCol(CellColour(pixel, start.treatment, start.channels));
                    ASSERT_EQ(row.substr(30 * (x - 1) + 13, 7), expected)
                        << "treatment " << treatment << ", channels " << switches << ", cell " << x
                        << ", row " << y;
                }
            }
        }
    }
}

TEST(RowLoop, aStopAfterRowKLeavesTheHeaderAndKRowsWithoutTrailer)
{
    const TestPicture picture = fourColours();
    FixedSettings settings(rowsOf(picture, 2, 5, CellMode::Letter, U"o"), {});
    PageLines sink;
    RandomGlyphs random;
    RowLoop loop(startWith(5), settings, sink, random);
    loop.addSink(sink);
    for (int k = 1; k <= 3; ++k) {
        ASSERT_EQ(loop.step(), LoopStep::RowWritten);
        EXPECT_EQ(loop.percent(), 20 * k);
    }
    ASSERT_EQ(sink.page.lines.size(), 4u);
    EXPECT_EQ(sink.page.lines[0], Head);
    EXPECT_EQ(
        sink.page.lines[3], "<font color=\"#0000FF\">o</font><font color=\"#FFFFFF\">o</font><br>");
    EXPECT_EQ(sink.page.htmlRows.size(), 3 * 64u);
}

TEST(RowLoop, handsEachCellsColourAndGlyphToSinksThatAskForThem)
{
    struct Cells : RowSink {
        std::string glyphs;
        std::vector<ColourValue> colours;
        bool wantsCells() const override { return true; }
        void rowBuilt(const BuiltRow& row) override
        {
            for (const Glyph& glyph : row.glyphs)
                glyphs += glyph.pageText();
            colours.insert(colours.end(), row.colours.begin(), row.colours.end());
        }
    } cells;
    const TestPicture picture = fourColours();
    FixedSettings settings(rowsOf(picture, 2, 2, CellMode::Letter, U"aé😀"), {});
    PageLines page;
    RandomGlyphs random;
    RowLoop loop(startWith(2), settings, page, random);
    loop.addSink(cells);
    EXPECT_EQ(loop.runToEnd(), LoopStep::Finished);
    EXPECT_EQ(cells.glyphs, "\xE9&#128512;a\xE9");
    EXPECT_EQ(cells.colours, (std::vector<ColourValue> { 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF }));
}
