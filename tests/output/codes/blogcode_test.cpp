#include "output/codes/blogcode.h"
#include "support/blogcodereference.h"
#include "support/noisepicture.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

const std::string LetterRows
    = "<font color=\"#FF0000\">o</font><font color=\"#00FF00\">o</font><br>"
      "<font color=\"#0000FF\">o</font><font color=\"#FFFFFF\">o</font><br>";
const std::string SquareRows
    = "<span style=\"background-color: #FF0000\"><font color=\"#FF0000\">o</font></span>"
      "<span style=\"background-color: #00FF00\"><font color=\"#00FF00\">o</font></span><br>"
      "<span style=\"background-color: #0000FF\"><font color=\"#0000FF\">o</font></span>"
      "<span style=\"background-color: #FFFFFF\"><font color=\"#FFFFFF\">o</font></span><br>";

std::string blogCode(const std::string& rows, bool bold, bool italic, bool centred)
{
    std::string code = HtmlToBlogCode(rows);
    WrapBlogCode(code, bold, italic, centred);
    return code;
}

} // namespace

TEST(BlogCode, translatesTheFourColourExampleInBothModes)
{
    EXPECT_EQ(HtmlToBlogCode(LetterRows),
        "[c=#FF0000]o[/c][c=#00FF00]o[/c]\r\n[c=#0000FF]o[/c][c=#FFFFFF]o[/c]\r\n");
    EXPECT_EQ(HtmlToBlogCode(SquareRows),
        "[f=#FF0000][c=#FF0000]o[/c][/f][f=#00FF00][c=#00FF00]o[/c][/f]\r\n"
        "[f=#0000FF][c=#0000FF]o[/c][/f][f=#FFFFFF][c=#FFFFFF]o[/c][/f]\r\n");
}

TEST(BlogCode, wrapsOutsideTheLastLineBreakWithTheCentreOutermost)
{
    EXPECT_EQ(blogCode(LetterRows, false, false, true),
        "[align=center][c=#FF0000]o[/c][c=#00FF00]o[/c]\r\n[c=#0000FF]o[/c][c=#FFFFFF]o[/c]\r\n[/"
        "align]");
    EXPECT_EQ(blogCode(LetterRows, true, true, true),
        "[align=center][i][g][c=#FF0000]o[/c][c=#00FF00]o[/c]\r\n[c=#0000FF]o[/c][c=#FFFFFF]o[/"
        "c]\r\n"
        "[/g][/i][/align]");
    EXPECT_EQ(blogCode("", false, false, true), "[align=center][/align]");
    EXPECT_EQ(blogCode("", false, false, false), "");
}

TEST(HtmlCode, wrapsInTheSameNesting)
{
    std::string code = LetterRows;
    WrapHtmlCode(code, false, false, true);
    EXPECT_EQ(code, "<center>" + LetterRows + "</center>");
    code = "X";
    WrapHtmlCode(code, true, true, true);
    EXPECT_EQ(code, "<center><i><b>X</b></i></center>");
    code = "X";
    WrapHtmlCode(code, true, false, false);
    EXPECT_EQ(code, "<b>X</b>");
}

TEST(BlogCode, glyphsThatLookLikeMarkupPassThrough)
{
    EXPECT_EQ(HtmlToBlogCode("<font color=\"#FF0000\">\"</font><br>"), "[c=#FF0000]\"[/c]\r\n");
    for (const char* glyph : { ">", "<", "[", "]", "&" }) {
        EXPECT_EQ(HtmlToBlogCode(std::string("<font color=\"#FF0000\">") + glyph + "</font><br>"),
            std::string("[c=#FF0000]") + glyph + "[/c]\r\n");
        EXPECT_EQ(
            HtmlToBlogCode(
                std::string("<span style=\"background-color: #FF0000\"><font color=\"#FF0000\">")
                + glyph + "</font></span>"),
            std::string("[f=#FF0000][c=#FF0000]") + glyph + "[/c][/f]");
    }
}

TEST(BlogCode, translatesOnlyTheExactSearchTexts)
{
    EXPECT_EQ(HtmlToBlogCode("plain text, no tags"), "plain text, no tags");
    EXPECT_EQ(HtmlToBlogCode("<FONT color=\"x\"<BR>"), "<FONT color=\"x\"<BR>");
    EXPECT_EQ(HtmlToBlogCode("<b><i><center>x</center></i></b>"),
        "[g][i][align=center]x[/align][/i][/g]");
    EXPECT_EQ(HtmlToBlogCode("<span style=\"background-color:#1\">"),
        "<span style=\"background-color:#1]");
    // Step 1 takes the quote before step 2 can.
    EXPECT_EQ(HtmlToBlogCode("<font color=\">"), "[c=>");
}

TEST(BlogCode, rowsTranslatedOneByOneJoinUpToTheWhole)
{
    const std::string rows[] = { "<font color=\"#FF0000\"><</font><br>", "<br>",
        "<span style=\"background-color: #00FF00\"><font color=\"#00FF00\">\"</font></span><br>",
        "<font color=\"#0000FF\">></font><font color=\"#0000FF\">b</font><br>" };
    std::string whole, pieces;
    for (const auto& row : rows) {
        whole += row;
        appendBlogCode(pieces, row);
    }
    EXPECT_EQ(pieces, HtmlToBlogCode(whole));
}

// The one-pass translation must give what the twelve steps give, on texts dense in pieces of
// the search texts, where a mistake in step order would show.
TEST(BlogCode, onePassAgreesWithTheStepByStepReference)
{
    const std::string pieces[] = { "<", ">", "\"", "\">", "<font color=\"", "</font>", "</b>",
        "</i>", "<i>", "<b>", "<center>", "</center>",
        "<span style=\"background-color: ", "</span>", "<br>", "#FF00AA", "o", "[", "]", "/", "b",
        "i", "font", " ", "span", "é", "\r\n", "center", "<br", "<span style=\"", "<font" };
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = length(random); n > 0; --n)
            text += pieces[pick(random)];
        ASSERT_EQ(HtmlToBlogCode(text), HtmlToBlogCodeStepByStep(text)) << text;
    }
}

// Cells as a run writes them go whole through a quicker path: it must agree with the twelve
// steps whatever the glyph, and give way where a cell is cut, a colour digit could start a
// search text or the glyph is not one character.
TEST(BlogCode, wholeCellsAgreeWithTheStepByStepReference)
{
    const std::string glyphs[] = { "o", "<", "\"", ">", "b", "é", "€", "😀", "\xC3", "\x80\x80",
        "\xF0\x9F\x98\x80\xBF", "", "ab" };
    const std::string digits[]
        = { "00FF7A", "\"><b>", "ab\"><i", "<br>00", "\"\"\"\"\"\"", "00", "0000\">", "000<b>" };
    std::mt19937 random(20261208);
    auto pick = [&](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
    };
    for (int i = 0; i < 5000; ++i) {
        std::string row;
        for (int n = int(pick(12)); n > 0; --n) {
            // Mostly sound cells, now and then an odd glyph or digit.
            const std::string& glyph = glyphs[pick(4) == 0 ? pick(std::size(glyphs)) : pick(6)];
            const std::string& colour = digits[pick(8) == 0 ? pick(std::size(digits)) : 0];
            std::string cell = pick(2) == 0 ? "<font color=\"#" + colour + "\">" + glyph + "</font>"
                                            : "<span style=\"background-color: #" + colour
                    + "\"><font color=\"#" + colour + "\">" + glyph + "</font></span>";
            if (pick(10) == 0)
                cell.resize(pick(cell.size()));
            row += cell;
        }
        row += pick(3) == 0 ? "<b" : "<br>";
        const std::string expected = HtmlToBlogCodeStepByStep(row);
        ASSERT_EQ(HtmlToBlogCode(row), expected) << row;
        // Appended in place or not, after what the code already holds.
        std::string inPlace = "[c=#000000]x[/c]";
        inPlace.reserve(inPlace.size() + mostBlogCodeBytes(row.size()));
        appendBlogCode(inPlace, row);
        ASSERT_EQ(inPlace, "[c=#000000]x[/c]" + expected) << row;
    }
}

namespace {

struct NullPage : PageSink {
    bool writeLine(std::string_view) override { return true; }
};

// Translates each row from its cells, where it can, beside the twelve steps on its HTML.
struct CellsBeside : RowSink {
    int fromCells = 0;
    void rowBuilt(const BuiltRow& row) override
    {
        std::string code(mostBlogCodeBytes(row.html.size()), '\0');
        char* end = writeBlogCodeOfCells(code.data(), row);
        if (!end)
            return;
        ++fromCells;
        code.resize(std::size_t(end - code.data()));
        EXPECT_EQ(code, HtmlToBlogCodeStepByStep(row.html)) << row.html;
    }
};

} // namespace

// The blog code written from a run's cells is that of its HTML rows, in both modes, for random
// and defined glyphs (those that start a search text too), every treatment and a palette; rows
// it cannot write (merged cells, glyphs of several bytes) are left to the translation.
TEST(BlogCode, fromTheCellsIsTheTranslationOfTheRows)
{
    const NoisePicture noise(23, 17);
    const PixelBuffer& picture = noise.buffer;
    struct Case {
        GlyphSource source;
        std::u32string characters;
        ColourTreatment treatment;
        bool palette;
        std::optional<double> merge;
        bool fromCells;
    };
    const Case cases[] = {
        { GlyphSource::Defined, U"o", ColourTreatment::SourceColours, false, {}, true },
        { GlyphSource::Random, U"", ColourTreatment::TintGreen, false, {}, true },
        { GlyphSource::Defined, U"<\">b", ColourTreatment::BlackAndWhite, true, {}, true },
        { GlyphSource::Defined, U"aé", ColourTreatment::TintBlue, false, {}, false },
        { GlyphSource::Defined, U"o", ColourTreatment::SourceColours, false, 5.0, false },
    };
    for (const Case& c : cases) {
        for (const CellMode mode : { CellMode::Letter, CellMode::Square }) {
            RunStart start;
            start.rows = 9;
            start.glyphSource = c.source;
            start.treatment = c.treatment;
            start.mergeTolerance = c.merge;
            if (c.palette)
                start.palette = std::make_shared<const std::vector<ColourValue>>(
                    std::vector<ColourValue> { 0x102030, 0xFFFFFF, 0 });
            const RowInput input { 31, start.rows, mode, c.characters, picture };
            FixedSettings settings(input, {});
            NullPage page;
            RandomGlyphs random;
            RowLoop loop(start, settings, page, random);
            CellsBeside beside;
            loop.addSink(beside);
            ASSERT_EQ(loop.runToEnd(), LoopStep::Finished);
            EXPECT_EQ(beside.fromCells, c.fromCells ? 9 : 0);
        }
    }
}
