// A whole run on a small random picture with random settings, the user changing options
// between rows: every row must keep the shape of its cells, and the rows must translate like
// the reference, whole or one by one.
#include "convert/conversionrun.h"
#include "convert/numbertext.h"
#include "output/blogcode.h"
#include "support/blogcodereference.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    std::uint8_t next() { return at < size ? data[at++] : 0; }
    std::string text(std::size_t maxLength)
    {
        std::string s;
        for (std::size_t n = next() % (maxLength + 1); n > 0; --n)
            s += char(next());
        return s;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes in { data, size };
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
    RandomGlyphs random;
    ConversionRun run(start, random);
    std::string htmlRows, blogRows;
    while (!run.finished()) {
        // Each row may see other sizes, another mode and other characters.
        RowInput input;
        const std::string columnsText = in.text(6);
        input.columns = numericValue(columnsText);
        input.rows = numericValue(in.text(6));
        if (loopCount(input.columns) > 64)
            input.columns = 64;
        input.mode = in.next() & 1 ? CellMode::Square : CellMode::Letter;
        const std::u32string characters = decodeUtf8(in.text(8));
        input.definedCharacters = characters;
        input.picture = { pixels.data(), width, height, width };
        const RowOutcome outcome = run.buildRow(input);
        if (outcome != RowOutcome::Written)
            break;
        const std::size_t cells = std::size_t(loopCount(input.columns));
        const std::size_t cellLength = input.mode == CellMode::Square ? 77 : 30;
        const std::string_view page = run.pageRow();
        if (page.size() != cells * cellLength + 4 || !page.ends_with("<br>"))
            std::abort();
        htmlRows += run.row();
        appendBlogCode(blogRows, run.row());
    }
    // Translated row by row or whole, one pass or step by step: always the same blog code.
    const std::string blog = HtmlToBlogCodeStepByStep(htmlRows);
    if (HtmlToBlogCode(htmlRows) != blog || blogRows != blog)
        std::abort();
    return 0;
}
