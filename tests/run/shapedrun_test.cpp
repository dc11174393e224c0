// A run whose cells are chosen by the shape of the picture, from the options to the page and the
// codes.
#include "run/codeoutputs.h"
#include "run/preparedrun.h"
#include "support/noisepicture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mosaiq;

namespace {

struct KeptText : PageSink, CodeSink {
    bool writeLine(std::string_view line) override
    {
        text += line;
        text += '\n';
        return true;
    }
    bool append(std::string_view bytes) override
    {
        text += bytes;
        return true;
    }
    std::string text;
};

struct Outputs {
    std::string page, html, blog, message;
};

// The page, the HTML code and the bracket code of a run of options over picture; threads, when
// not 0, matches the rows on that many threads.
Outputs runShapes(RunOptions options, const PixelBuffer& picture, int threads = 0)
{
    PreparedRun run = prepareRun(options, { "p.ppm", picture }, RandomGlyphs());
    EXPECT_EQ(run.refusal, "");
    if (threads > 0)
        run.start.shapes->threads = threads;
    KeptText page, html, blog;
    CodeOutputs codes({ &html, &blog }, *run.dialect, options.bracketFromCells(), options.style);
    FixedSettings settings(run.input, options.style);
    RandomGlyphs random;
    RowLoop loop(run.start, settings, page, random);
    loop.addSink(codes);
    EXPECT_EQ(loop.runToEnd(), LoopStep::Finished);
    codes.finish();
    return { page.text, html.text, blog.text, run.message };
}

} // namespace

// A cell dark on its left and light on its right is the left half block, in the dark ink over the
// light background, in each output as it writes two colours; and where the code colours only
// the text, the same half in the ink that draws it over the reader's white.
TEST(ShapedRun, aCellHalfDarkHalfLightIsTheHalfBlockInBothColours)
{
    std::vector<std::uint32_t> pixels(16 * 16);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i % 16 < 8 ? 0xFF203040u : 0xFFE0D0C0u;
    const PixelBuffer picture { pixels.data(), 16, 16, 16 };
    RunOptions options;
    options.columns = "1";
    options.rows = "1";
    options.style.centred = false;
    options.shapes = ShapeSet::Blocks;
    const std::string cell = "<span style=\"background-color: #E0D0C0\"><font color=\"#203040\">";
    const Outputs shaped = runShapes(options, picture);
    EXPECT_EQ(shaped.page,
        shapesHeaderLine(0, options.style) + "\n" + cell + "&#9612;</font></span><br>\n"
            + trailerLine(options.style) + "\n");
    EXPECT_EQ(shaped.html, cell + "\u258C</font></span><br>");
    EXPECT_EQ(shaped.blog, "[f=#E0D0C0][c=#203040]\u258C[/c][/f]\r\n");

    options.dialect = "ansi";
    EXPECT_EQ(runShapes(options, picture).blog, "\x1b[38;2;32;48;64m\u258C\x1b[0m\n");
    // Over a dark reader's page, the light half is the ink.
    options.readerBackground = makeColour(0x20, 0x30, 0x40);
    EXPECT_EQ(runShapes(options, picture).blog, "\x1b[38;2;224;208;192m\u2590\x1b[0m\n");

    // Ink alone, over the reader's page, in the page too.
    options.dialect = "blog";
    options.foregroundOnly = true;
    options.readerBackground = makeColour(255, 255, 255);
    EXPECT_EQ(runShapes(options, picture).blog, "[f=#FFFFFF][c=#203040]\u258C[/c][/f]\r\n");
}

// The rows are matched on several threads, a batch at a time: the outputs do not depend on how
// many; and the characters given are noted as unread.
TEST(ShapedRun, theSameBytesOnEveryRunWhateverTheThreads)
{
    const NoisePicture picture(97, 61);
    RunOptions options;
    options.columns = "23";
    options.shapes = ShapeSet::All;
    options.dialect = "phpbb";
    options.characters = "xyz";
    options.charactersGiven = true;
    const Outputs one = runShapes(options, picture.buffer, 1);
    const Outputs three = runShapes(options, picture.buffer, 3);
    EXPECT_EQ(one.page, three.page);
    EXPECT_EQ(one.html, three.html);
    EXPECT_EQ(one.blog, three.blog);
    EXPECT_EQ(runShapes(options, picture.buffer).page, one.page);
    EXPECT_NE(one.message, "");
    // The rows keep the picture's proportions in the shapes' font: 23 x 61 x 0.517 / 97.
    std::size_t rows = 0;
    for (std::size_t at = one.html.find("<br>"); at != std::string::npos;
         at = one.html.find("<br>", at + 1))
        ++rows;
    EXPECT_EQ(rows, 7u);

    // Rows enough for several batches, each matched while the one before is written.
    const NoisePicture large(600, 400);
    options.columns = "300";
    options.rows = "200";
    const Outputs batches = runShapes(options, large.buffer, 1);
    EXPECT_EQ(runShapes(options, large.buffer, 3).page, batches.page);
    EXPECT_EQ(runShapes(options, large.buffer, 2).blog, batches.blog);
}

// With --merge, neighbouring cells share their colours' tags; at a tolerance of 0 the best runs
// are runs of equal colours too, and write the same bytes.
TEST(ShapedRun, bestRunsAtNoToleranceWriteWhatMergedRunsWrite)
{
    // Blocks of 5 x 3 pixels, each of its own colour, under cells of 2 x 2: runs of equal cells
    // and cells of two colours.
    std::vector<std::uint32_t> pixels(160 * 48);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | ((i % 160 / 5) * 0x2F1B07u + (i / 160 / 3) * 0x0B3D11u);
    const PixelBuffer picture { pixels.data(), 160, 48, 160 };
    RunOptions options;
    options.columns = "80";
    options.rows = "24";
    options.shapes = ShapeSet::Ascii;
    const Outputs cells = runShapes(options, picture);
    for (const char* dialect : { "blog", "phpbb", "irc" }) {
        options.dialect = dialect;
        options.mergeTolerance = 0.0;
        options.bestRuns = false;
        const Outputs merged = runShapes(options, picture);
        options.bestRuns = true;
        const Outputs best = runShapes(options, picture);
        EXPECT_EQ(merged.page, best.page) << dialect;
        EXPECT_EQ(merged.html, best.html) << dialect;
        EXPECT_EQ(merged.blog, best.blog) << dialect;
        EXPECT_LT(merged.page.size(), cells.page.size() * 3 / 4) << dialect;
    }
}
