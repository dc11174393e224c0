#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codecollector.h"
#include "output/codes/codefit.h"
#include "output/codes/codestats.h"
#include "output/codes/postfill.h"
#include "support/fittedcode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

class NullPage : public PageSink {
public:
    bool writeLine(std::string_view) override { return true; }
};

// A picture of 6 x 2 cells (one more pixel each way: the first is never sampled) with equal
// neighbours, so that runs form.
struct SmallPicture {
    std::vector<std::uint32_t> words;
    SmallPicture()
    {
        const std::uint32_t colours[] = { 0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00, 0x00FF00,
            0x0000FF, 0x123456, 0x123456, 0xFFFFFF, 0x000000, 0x000000, 0x000000 };
        words.assign(7 * 3, 0xFF000000u);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 6; ++x)
                words[std::size_t((y + 1) * 7 + x + 1)] = 0xFF000000u | colours[y * 6 + x];
    }
    PixelBuffer buffer() const { return { words.data(), 7, 3, 7 }; }
};

struct Cells {
    std::vector<std::string> glyphs, colours; // "RRGGBB"
};

// Runs the small picture and hands every row to sinks; returns what each cell shows.
Cells runSmall(std::vector<RowSink*> sinks, std::optional<double> merge, CellMode mode,
    std::u32string_view characters, ColourForms bestRunsForms = {}, bool bestRuns = false)
{
    static const SmallPicture picture;
    RunStart start;
    start.rows = 2;
    start.mergeTolerance = merge;
    start.bestRuns = bestRuns;
    start.colourForms = bestRunsForms;
    RowInput input { 6, 2, mode, characters, picture.buffer() };
    FixedSettings settings(input, {});
    NullPage page;
    RandomGlyphs random;
    RowLoop loop(start, settings, page, random);
    struct CellKeeper : RowSink {
        Cells cells;
        bool wantsCells() const override { return true; }
        void rowBuilt(const BuiltRow& row) override
        {
            for (std::size_t i = 0; i < row.glyphs.size(); ++i) {
                cells.glyphs.emplace_back(row.glyphs[i].utf8, row.glyphs[i].utf8Length);
                cells.colours.push_back(DectoWebCol(row.colours[i]).substr(1));
            }
        }
    } keeper;
    loop.addSink(keeper);
    for (RowSink* sink : sinks)
        loop.addSink(*sink);
    EXPECT_EQ(loop.runToEnd(), LoopStep::Finished);
    return keeper.cells;
}

bool isHex(std::string_view s)
{
    return s.size() == 6 && s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// Reads a code as its forum would. Fails the test on a tag closed out of order or left open, on
// a "[" or "]" that shares a colour tag with another glyph, or on a Markdown character left
// unescaped. Gives what each glyph shows: itself and its colour.
Cells readCode(std::string_view code, const ForumDialect& d)
{
    Cells shown;
    std::vector<std::string_view> open; // closing tags expected, innermost last
    std::string colour;
    std::vector<std::string> text; // the glyphs of the colour tag being read
    auto endText = [&] {
        for (const auto& g : text) {
            if (g.find_first_of("[]") != std::string::npos) {
                EXPECT_EQ(text.size(), 1u) << "a bracket shares its tag in " << code;
            }
        }
        text.clear();
    };
    for (std::size_t i = 0; i < code.size();) {
        const std::string_view rest = code.substr(i);
        bool tag = false;
        for (auto [opening, closing, coloured] : { std::tuple { d.colourOpen, d.colourClose, true },
                 { d.backgroundOpen, d.backgroundClose, true }, { d.boldOpen, d.boldClose, false },
                 { d.italicOpen, d.italicClose, false }, { d.centreOpen, d.centreClose, false } }) {
            if (opening.empty())
                continue;
            if (rest.starts_with(closing)) {
                EXPECT_TRUE(!open.empty() && open.back() == closing) << "misnested in " << code;
                if (!open.empty())
                    open.pop_back();
                endText();
                i += closing.size();
                tag = true;
                break;
            }
            if (rest.starts_with(opening)) {
                std::size_t length = opening.size();
                if (coloured) {
                    EXPECT_TRUE(isHex(rest.substr(length, 6)) && rest.substr(length + 6, 1) == "]");
                    colour = std::string(rest.substr(length, 6));
                    length += 7;
                }
                open.push_back(closing);
                endText();
                i += length;
                tag = true;
                break;
            }
        }
        if (tag)
            continue;
        if (rest.starts_with("\r\n")) {
            i += 2;
            continue;
        }
        std::size_t length = 1;
        if (d.escape == GlyphEscape::Markdown && rest[0] == '\\' && rest.size() > 1) {
            ++i; // the escaped character follows
        } else if (d.escape == GlyphEscape::Markdown) {
            EXPECT_FALSE(std::ispunct(static_cast<unsigned char>(rest[0]))) << rest[0];
        }
        while (i + length < code.size() && (code[i + length] & 0xC0) == 0x80)
            ++length;
        text.emplace_back(code.substr(i, length));
        shown.glyphs.push_back(text.back());
        shown.colours.push_back(colour);
        EXPECT_FALSE(open.empty()) << "a glyph outside every colour tag";
        i += length;
    }
    EXPECT_TRUE(open.empty()) << "left open in " << code;
    return shown;
}

} // namespace

TEST(ForumCode, everyDialectIsWellFormedAndShowsEachCellInItsColour)
{
    const std::u32string hostile = U"[/color][url=x]*_`\\:<&";
    for (const ForumDialect& dialect : forumDialects()) {
        if (dialect.kind != CodeKind::Bracket)
            continue; // see ChatCode below
        // Unmerged, merged, and in the best runs of a wide tolerance (their colours in six
        // digits, which this reader takes).
        for (std::optional<double> merge :
            { std::optional<double>(), std::optional(0.0), std::optional(30.0) }) {
            for (CellMode mode : { CellMode::Letter, CellMode::Square }) {
                BracketCode code(dialect, 2);
                const Cells cells = runSmall({ &code }, merge, mode,
                    mode == CellMode::Square ? U"8" : hostile, {}, merge > 0.0);
                const Cells shown = readCode(code.takeCode({ true, true, true }), dialect);
                SCOPED_TRACE(std::string(dialect.name) + (merge ? " merged" : ""));
                EXPECT_EQ(shown.colours, cells.colours);
                const bool block = mode == CellMode::Square && dialect.backgroundOpen.empty();
                EXPECT_EQ(shown.glyphs,
                    block ? std::vector<std::string>(12, "\xE2\x96\x88") : cells.glyphs);
            }
        }
    }
}

TEST(ForumCode, mergedRunsShareTagsButKeepBracketsAlone)
{
    BracketCode code(*findDialect("phpbb"), 2);
    runSmall({ &code }, 0.0, CellMode::Letter, U"[ab]");
    EXPECT_EQ(code.rows(),
        "[color=#FF0000]ab[/color][color=#00FF00]][/color][color=#00FF00][[/color]"
        "[color=#00FF00]a[/color][color=#0000FF]b[/color]\r\n"
        "[color=#123456]][/color][color=#123456][[/color][color=#FFFFFF]a[/color]"
        "[color=#000000]b[/color][color=#000000]][/color][color=#000000][[/color]\r\n");
}

TEST(ForumCode, theBlogDialectWithoutMergingIsTheDocumentsBlogCode)
{
    for (CellMode mode : { CellMode::Letter, CellMode::Square }) {
        BracketCode code(blogDialect(), 2);
        CodeCollector codes(2, false, true);
        runSmall({ &code, &codes }, {}, mode, U"x<\"]>");
        EXPECT_EQ(
            code.takeCode({ true, true, true }), codes.takeBlogCode({ true, true, true }).view());
    }
}

namespace {

class KeptPosts : public PostSink {
public:
    bool post(std::string_view opening, std::string_view rows, std::string_view closing) override
    {
        posts.push_back(std::string(opening) + std::string(rows) + std::string(closing));
        return posts.size() < refuseAt;
    }
    std::vector<std::string> posts;
    std::size_t refuseAt = std::size_t(-1);
};

// rows: the code's rows, each ending in CR LF.
PostFill fillPosts(KeptPosts& kept, std::string_view rows, std::size_t limit,
    LimitUnit unit = LimitUnit::Characters, std::string_view opening = "[b]",
    std::string_view closing = "[/b]")
{
    PostFill fill(kept, std::string(opening), std::string(closing), limit, unit);
    for (std::size_t at = 0; at < rows.size();) {
        const std::size_t end = rows.find("\r\n", at) + 2;
        if (!fill.addRow(rows.substr(at, end - at)))
            return fill;
        at = end;
    }
    fill.finish();
    return fill;
}

} // namespace

TEST(PostFill, postsFitAreWellFormedAndGiveTheRowsBack)
{
    const std::string rows = "aaaa\r\nbb\r\ncccccc\r\nd\r\n\r\neeeee\r\n";
    for (std::size_t limit : { 15u, 20u, 40u }) {
        KeptPosts kept;
        const PostFill fill = fillPosts(kept, rows, limit);
        ASSERT_EQ(fill.rowTooLong(), 0) << limit;
        std::string joined;
        for (const std::string& part : kept.posts) {
            EXPECT_LE(part.size(), limit);
            ASSERT_TRUE(part.starts_with("[b]") && part.ends_with("[/b]")) << part;
            joined += part.substr(3, part.size() - 7);
        }
        // A code that fits one post is not cut.
        EXPECT_EQ(joined, limit == 40 ? "" : rows) << limit;
        EXPECT_EQ(kept.posts.size(), limit == 15 ? 5u : limit == 20 ? 3u : 0u);
        EXPECT_EQ(fill.parts(), kept.posts.size());
    }
    // "cccccc" and its line end take 8 characters, 15 with the tags.
    KeptPosts kept;
    EXPECT_EQ(fillPosts(kept, rows, 14).rowTooLong(), 3);
    // "é" is one character but two bytes.
    EXPECT_EQ(fillPosts(kept, "é\r\n", 3, LimitUnit::Bytes, "", "").rowTooLong(), 1);
    // A post that cannot be kept ends the cutting.
    KeptPosts refusing;
    refusing.refuseAt = 2;
    const PostFill refused = fillPosts(refusing, rows, 15);
    EXPECT_TRUE(refused.failed());
    EXPECT_EQ(refusing.posts.size(), 2u);
}

TEST(CodeFit, findsTheLargestCountThatFitsInFewTries)
{
    for (auto [most, threshold] : { std::pair<std::int64_t, std::int64_t> { 1, 1 }, { 100, 1 },
             { 100, 37 }, { 100, 64 }, { 100, 100 }, { 100, 500 }, { 1920, 333 } }) {
        int calls = 0;
        const std::int64_t found = largestFitting(most, [&](std::int64_t c) {
            ++calls;
            return c <= threshold;
        });
        EXPECT_EQ(found, std::min(most, threshold));
        EXPECT_LE(calls, 2 * 11 + 2);
    }
}

TEST(CodeFit, choosesTheLargestProportionalGridWhoseCodeFits)
{
    // A 40 x 30 gradient, random glyphs and merged runs: the measure must not draw from the
    // run's generator, and must give the real run's size.
    std::vector<std::uint32_t> words;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            words.push_back(0xFF000000u | std::uint32_t(x * 6 << 16) | std::uint32_t(y * 8));
    CodeMeasure measure;
    measure.start.glyphSource = GlyphSource::Random;
    measure.start.mergeTolerance = 3.0;
    measure.input.picture = { words.data(), 40, 30, 40 };
    measure.style = { false, false, true };
    measure.cellAspect = 1.0; // square cells: the grid has the picture's pixel proportions
    for (const char* name : { "phpbb", "mybb" }) {
        measure.dialect = findDialect(name);
        for (std::size_t limit : { 300u, 2'000u, 9'000u, 1'000'000u }) {
            const FitResult fit = fitGrid(measure, limit);
            ASSERT_TRUE(fit.fits) << limit;
            EXPECT_LE(fit.characters, limit);
            // Three rows for four columns, give or take half a row.
            EXPECT_LE(std::abs(4 * fit.grid.rows - 3 * fit.grid.columns), 2) << limit;
            if (fit.grid.columns < 40) {
                const std::int64_t columns = fit.grid.columns + 1;
                const GridSize more { columns, std::int64_t(std::nearbyint(columns * 0.75)) };
                EXPECT_GT(measureCode(measure, more, SIZE_MAX).characters, limit);
            }

            EXPECT_EQ(sizeIn(fittedCode(measure, fit.grid), LimitUnit::Characters), fit.characters);
        }
        const FitResult none = fitGrid(measure, 20);
        EXPECT_FALSE(none.fits);
        EXPECT_EQ(none.grid.columns, 1);
        EXPECT_GT(none.characters, 20u);
    }
}

TEST(ForumCode, bestRunsWriteTheShortColoursEachForumReads)
{
    const std::pair<const char*, const char*> cases[] {
        { "phpbb",
            "[color=red]oo[/color][color=#0F0]ooo[/color][color=#00F]o[/color]\r\n"
            "[color=#123456]oo[/color][color=#FFF]o[/color][color=#000]ooo[/color]\r\n" },
        { "mybb",
            "[color=red]oo[/color][color=#0F0]ooo[/color][color=#00F]o[/color]\r\n"
            "[color=#123456]oo[/color][color=#FFF]o[/color][color=#000]ooo[/color]\r\n" },
        { "smf",
            "[color=red]oo[/color][color=#0F0]ooo[/color][color=#00F]o[/color]\r\n"
            "[color=#123456]oo[/color][color=#FFF]o[/color][color=#000]ooo[/color]\r\n" },
        { "xenforo",
            "[color=#FF0000]oo[/color][color=#00FF00]ooo[/color][color=#0000FF]o[/color]\r\n"
            "[color=#123456]oo[/color][color=#FFFFFF]o[/color][color=#000000]ooo[/color]\r\n" },
    };
    for (const auto& [name, expected] : cases) {
        const ForumDialect& dialect = *findDialect(name);
        BracketCode code(dialect, 2, true, dialect.forms);
        runSmall({ &code }, 0.0, CellMode::Letter, U"o", dialect.forms, true);
        EXPECT_EQ(code.rows(), expected) << name;
    }
}

TEST(CodeStats, countsTheColoursWrittenAndHowFarTheyAreFromTheSampledOnes)
{
    // Twenty cells written black; one, then two, sampled white (CIEDE2000 100 from black).
    const std::vector<ColourValue> written(20, makeColour(0, 0, 0));
    std::vector<ColourValue> sampled = written;
    sampled[3] = makeColour(255, 255, 255);
    CodeStats stats;
    BuiltRow row;
    row.colours = written;
    row.sampledColours = sampled;
    row.html = "0123456789";
    stats.rowBuilt(row);
    EXPECT_EQ(stats.cells(), 20);
    EXPECT_EQ(stats.coloursUsed(), 1u);
    EXPECT_NEAR(stats.meanDifference(), 5.0, 1e-6);
    EXPECT_EQ(stats.percentile95(), 0.0) << "19 cells of 20 are exact";
    EXPECT_EQ(stats.htmlBytes(), 10u);
    sampled[4] = makeColour(255, 255, 255);
    row.sampledColours = sampled;
    stats.rowBuilt(row);
    EXPECT_EQ(stats.rows(), 2);
    EXPECT_NEAR(stats.percentile95(), 100.0, 0.01) << "3 cells of 40 are 100 apart";
}

TEST(ChatCode, discordIrcAndAnsiCodesAreWellFormed)
{
    StyleFlags style { true, true, true };
    // Discord: the fence around, SGR 30 to 37 only, each row reset.
    BracketCode discord(*findDialect("discord"), 2);
    runSmall({ &discord }, std::nullopt, CellMode::Letter, U",1");
    const std::string fenced = discord.takeCode(style);
    EXPECT_TRUE(fenced.starts_with("```ansi\n") && fenced.ends_with("\x1b[0m\n```\n")) << fenced;
    EXPECT_EQ(fenced.find('`', 3), fenced.size() - 4) << "no backtick but the fences'";
    for (std::size_t at = fenced.find('\x1b'); at != std::string::npos;
         at = fenced.find('\x1b', at + 1)) {
        const std::string sequence = fenced.substr(at, 5);
        EXPECT_TRUE(
            (sequence[2] == '3' && sequence[3] >= '0' && sequence[3] <= '7' && sequence[4] == 'm')
            || sequence.starts_with("\x1b[0m"))
            << at;
    }
    // Red, green, then blue, whose nearest in Discord's shades is its grey (its blue is far
    // lighter).
    EXPECT_EQ(fenced.substr(8, 20), "\x1b[31m1,\x1b[32m1,1\x1b[30m");

    // IRC: two digits after each ^C, a comma kept from reading as a background, CR LF rows.
    BracketCode irc(*findDialect("irc"), 2);
    runSmall({ &irc }, std::nullopt, CellMode::Letter, U",1");
    EXPECT_EQ(std::string(irc.rows()).substr(0, 20),
        "\x03"
        "041,\x03"
        "561,1\x03"
        "60\x02\x02,\r\n\x03");
    EXPECT_TRUE(irc.takeCode(style).ends_with("\r\n"));

    // ansi: the cells' own colours, each row reset.
    BracketCode ansi(*findDialect("ansi"), 2);
    runSmall({ &ansi }, std::nullopt, CellMode::Letter, U"o");
    const std::string terminal(ansi.rows());
    EXPECT_TRUE(terminal.starts_with("\x1b[38;2;255;0;0moo\x1b[38;2;0;255;0mooo")) << terminal;
    EXPECT_NE(terminal.find("\x1b[38;2;18;52;86moo\x1b[38;2;255;255;255mo"), std::string::npos);
    EXPECT_TRUE(terminal.ends_with("o\x1b[0m\n"));
}
