// A merged run on a small random picture, with a tolerance, characters that HTML and bracket
// codes read as markup, and a dialect, all drawn from the input: every merged HTML row must be
// runs of one colour tag each, holding exactly the run's glyphs with < > & " as entities, and
// the bracket code must close every tag it opens, in order, with [ and ] alone in theirs.
#include "convert/htmldocument.h"
#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "output/codes/bracketcode.h"
#include "support/fuzzbytes.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace mosaiq;

namespace {

void check(bool fact)
{
    if (!fact)
        std::abort();
}

// Whatever markup means to HTML and to the forums, and a few letters beyond ASCII.
constexpr std::string_view Hostile[] = { "<", ">", "&", "\"", "[", "]", ":", "\\", "*", "_", "`",
    "#", "/", "=", " ", "é", "€", "█", "&lt;", "[b]", "[/color]", "<br>" };

std::string charactersFrom(FuzzBytes& in)
{
    std::string text;
    for (int n = in.next() % 9; n > 0; --n) {
        const std::uint8_t b = in.next();
        if (b < 0x80)
            text += Hostile[b % std::size(Hostile)];
        else
            text += char(in.next()); // raw bytes, UTF-8 or not
    }
    return text;
}

std::string webColour(ColourValue colour)
{
    char digits[7] = { '#' };
    writeWebDigits(digits + 1, colour);
    return { digits, 7 };
}

// What HTML shows for the text of a run: the four entities of merged rows decoded.
std::string shown(std::string_view text)
{
    static constexpr std::pair<std::string_view, char> Entities[]
        = { { "&lt;", '<' }, { "&gt;", '>' }, { "&amp;", '&' }, { "&quot;", '"' } };
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        check(text[i] != '<' && text[i] != '>' && text[i] != '"');
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        bool known = false;
        for (const auto& [entity, c] : Entities) {
            if (text.substr(i).starts_with(entity)) {
                out += c;
                i += entity.size();
                known = true;
                break;
            }
        }
        check(known);
    }
    return out;
}

// Every row's runs, in its colours, with its glyphs.
struct MergedChecks : PageSink, RowSink {
    bool writeLine(std::string_view) override { return true; }
    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override
    {
        const bool square = row.mode == CellMode::Square;
        const std::string_view close = square ? "</font></span>" : html::FontClose;
        std::string_view rest = row.html;
        check(rest.ends_with(html::RowEnd));
        rest.remove_suffix(html::RowEnd.size());
        const std::size_t runs = row.runStarts.size();
        check(runs > 0 || row.glyphs.empty());
        for (std::size_t r = 0; r < runs; ++r) {
            const std::size_t begin = row.runStarts[r];
            const std::size_t end = r + 1 < runs ? row.runStarts[r + 1] : row.glyphs.size();
            check(begin < end && end <= row.glyphs.size());
            std::string open;
            const std::string colour = webColour(row.colours[begin]);
            if (square)
                open = std::string(html::SpanOpen) + colour + std::string(html::AttributeEnd);
            open += std::string(html::LetterOpen) + colour + std::string(html::AttributeEnd);
            check(rest.starts_with(open));
            rest.remove_prefix(open.size());
            const std::size_t closeAt = rest.find(close);
            check(closeAt != std::string_view::npos);
            std::string glyphs;
            for (std::size_t i = begin; i < end; ++i) {
                check(row.colours[i] == row.colours[begin]);
                glyphs.append(row.glyphs[i].utf8, row.glyphs[i].utf8Length);
            }
            check(shown(rest.substr(0, closeAt)) == glyphs);
            rest.remove_prefix(closeAt + close.size());
        }
        check(rest.empty());
        // An ASCII row is the page's row as it is; in any other each glyph is the page's text
        // of it, a byte or a character reference, which may make the rows alike in length.
        const bool ascii = std::all_of(row.glyphs.begin(), row.glyphs.end(),
            [](const Glyph& glyph) { return glyph.isAscii(); });
        if (ascii)
            check(row.page == row.html);
    }
};

// The bracket code's tags, each closed in the order opened; text between two tags holding [ or ]
// holds nothing else.
void checkBracketCode(std::string_view code, const ForumDialect& d)
{
    std::vector<std::string_view> open; // the closing tags expected, innermost last
    const std::pair<std::string_view, std::string_view> styles[]
        = { { d.centreOpen, d.centreClose }, { d.italicOpen, d.italicClose },
              { d.boldOpen, d.boldClose } };
    std::string text;
    auto textEnds = [&] {
        const bool bracket = text.find_first_of("[]") != std::string::npos;
        check(!bracket || text == "[" || text == "]" || text == "\\[" || text == "\\]");
        text.clear();
    };
    auto colourTag = [&](std::string_view rest, std::string_view prefix) -> std::size_t {
        if (prefix.empty() || !rest.starts_with(prefix) || rest.size() < prefix.size() + 7)
            return 0;
        for (char c : rest.substr(prefix.size(), 6))
            check((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        check(rest[prefix.size() + 6] == ']');
        return prefix.size() + 7;
    };
    for (std::size_t i = 0; i < code.size();) {
        const std::string_view rest = code.substr(i);
        std::size_t taken = 0;
        if ((taken = colourTag(rest, d.backgroundOpen)) != 0) {
            open.push_back(d.backgroundClose);
        } else if ((taken = colourTag(rest, d.colourOpen)) != 0) {
            open.push_back(d.colourClose);
        } else if (rest.starts_with("\r\n")) {
            taken = 2;
        } else {
            for (const auto& [opening, closing] : styles) {
                if (!opening.empty() && rest.starts_with(opening)) {
                    open.push_back(closing);
                    taken = opening.size();
                    break;
                }
            }
            if (!taken && !open.empty() && rest.starts_with(open.back())) {
                taken = open.back().size();
                open.pop_back();
            }
        }
        if (taken) {
            textEnds();
            i += taken;
        } else {
            text += code[i++];
        }
    }
    textEnds();
    check(open.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzBytes in { data, size };
    const int width = 1 + in.next() % 12, height = 1 + in.next() % 12;
    // Few distinct colours, close to each other, so that runs form at every tolerance.
    std::vector<std::uint32_t> pixels(std::size_t(width) * height);
    for (auto& p : pixels)
        p = 0xFF000000u | std::uint32_t(in.next() & 0x1F) * 0x070503u;

    RunStart start;
    start.glyphSource = in.next() % 4 == 0 ? GlyphSource::Random : GlyphSource::Defined;
    start.treatment = ColourTreatment(in.next() % 5);
    start.style = { bool(in.next() & 1), bool(in.next() & 1), bool(in.next() & 1) };
    const int tolerance = (in.next() << 8 | in.next()) % 10001;
    start.mergeTolerance = in.next() & 1 ? 0.0 : tolerance / 100.0;
    // The bracket dialects: chat codes have no tags to check.
    std::vector<const ForumDialect*> dialects;
    for (const ForumDialect& d : forumDialects()) {
        if (d.kind == CodeKind::Bracket)
            dialects.push_back(&d);
    }
    const ForumDialect& dialect = *dialects[in.next() % dialects.size()];

    const std::u32string characters = decodeUtf8(charactersFrom(in));
    if (start.glyphSource == GlyphSource::Defined && characters.empty())
        return 0;
    RowInput input;
    input.columns = numericValue(std::to_string(in.next() % 24));
    input.rows = numericValue(std::to_string(1 + in.next() % 8));
    start.rows = input.rows;
    input.mode = in.next() & 1 ? CellMode::Square : CellMode::Letter;
    input.definedCharacters = characters;
    input.picture = { pixels.data(), width, height, width };
    FixedSettings settings(input, start.style);

    MergedChecks checks;
    BracketCode bracket(dialect, loopCount(start.rows));
    RandomGlyphs random;
    RowLoop loop(start, settings, checks, random);
    loop.addSink(checks);
    loop.addSink(bracket);
    if (loop.runToEnd() != LoopStep::Finished)
        return 0;
    checkBracketCode(bracket.takeCode(start.style), dialect);
    return 0;
}
