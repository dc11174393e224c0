// A whole run on a small random picture with random settings, the user changing options
// between rows: every row must keep the shape of its cells, and the rows must translate like
// the reference, whole or one by one.
#include "convert/conversionrun.h"
#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "support/blogcodereference.h"
#include "support/fuzzbytes.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace mosaiq;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzBytes in { data, size };
    const int width = in.next() % 17, height = in.next() % 17;
    std::vector<std::uint32_t> pixels(std::size_t(width) * height);
    for (auto& p : pixels)
        p = std::uint32_t(in.next()) << 16 | std::uint32_t(in.next()) << 8 | in.next();

    RunStart start;
    start.glyphSource = in.next() & 1 ? GlyphSource::Random : GlyphSource::Defined;
    start.treatment = ColourTreatment(in.next() % 5);
    start.channels = { bool(in.next() & 1), bool(in.next() & 1), bool(in.next() & 1) };
    start.style = { bool(in.next() & 1), bool(in.next() & 1), bool(in.next() & 1) };
    const std::string rowsText = in.text(6);
    start.rows = numericValue(rowsText);
    if (loopCount(start.rows) > 40)
        return 0;
    // The red levels stand for the pixels' opacity too: the cells they leave transparent become
    // spaces in the codes' rows, which must still read as the page's.
    start.transparentBackground = in.next() & 1;
    std::vector<std::uint8_t> alpha(pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i)
        alpha[i] = std::uint8_t(pixels[i] >> 16);
    // Each row may see other sizes, another mode and other characters.
    struct ChangingSettings : RunSettings {
        FuzzBytes& in;
        const std::vector<std::uint32_t>& pixels;
        const std::vector<std::uint8_t>& alpha;
        int width, height;
        std::u32string characters;
        ChangingSettings(FuzzBytes& bytes, const std::vector<std::uint32_t>& p,
            const std::vector<std::uint8_t>& a, int w, int h)
            : in(bytes)
            , pixels(p)
            , alpha(a)
            , width(w)
            , height(h)
        {
        }
        RowInput rowInput() override
        {
            RowInput input;
            input.columns = numericValue(in.text(6));
            input.rows = numericValue(in.text(6));
            if (loopCount(input.columns) > 64)
                input.columns = 64;
            input.mode = in.next() & 1 ? CellMode::Square : CellMode::Letter;
            characters = decodeUtf8(in.text(8));
            input.definedCharacters = characters;
            input.picture = { pixels.data(), width, height, width };
            input.picture.alpha = alpha.data();
            input.picture.alphaStride = width;
            return input;
        }
        StyleFlags closingStyle() override
        {
            return { bool(in.next() & 1), bool(in.next() & 1), bool(in.next() & 1) };
        }
    } settings(in, pixels, alpha, width, height);
    // Every row must keep the shape of its cells.
    struct Checks : PageSink, RowSink {
        std::string htmlRows, blogRows, cellRows;
        bool writeLine(std::string_view) override { return true; }
        bool wantsCells() const override { return true; }
        void rowBuilt(const BuiltRow& row) override
        {
            // Each cell its markup, a glyph the page cannot hold as its reference.
            std::size_t length = 4 + row.glyphs.size() * (row.mode == CellMode::Square ? 77 : 30);
            for (const Glyph& glyph : row.glyphs)
                length += glyph.pageLength - 1u;
            if (row.page.size() != length || !row.page.ends_with("<br>"))
                std::abort();
            htmlRows += row.html;
            appendBlogCode(blogRows, row.html);
            // Written from the cells where the row allows, else translated.
            std::string code(mostBlogCodeBytes(row.html.size()), '\0');
            const char* end = writeBlogCodeOfCells(code.data(), row);
            if (!end)
                end = writeBlogCode(code.data(), row.html);
            cellRows.append(code.data(), std::size_t(end - code.data()));
        }
    } checks;
    RandomGlyphs random;
    RowLoop loop(start, settings, checks, random);
    loop.addSink(checks);
    loop.runToEnd();
    const std::string& htmlRows = checks.htmlRows;
    const std::string& blogRows = checks.blogRows;
    // Translated row by row or whole, one pass or step by step: always the same blog code.
    const std::string blog = HtmlToBlogCodeStepByStep(htmlRows);
    if (HtmlToBlogCode(htmlRows) != blog || blogRows != blog || checks.cellRows != blog)
        std::abort();
    return 0;
}
