#include "output/codes/blogcode.h"

#include "convert/colourvalue.h"
#include "convert/htmldocument.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace mosaiq {

namespace {

    struct Replacement {
        std::string_view search;
        std::string_view replacement;
    };

    // In the order they are applied; the order matters where search texts overlap.
    constexpr std::array<Replacement, 12> Steps { {
        { "<font color=\"", "[c=" },
        { "\">", "]" },
        { "</font>", "[/c]" },
        { "</b>", "[/g]" },
        { "</i>", "[/i]" },
        { "<i>", "[i]" },
        { "<b>", "[g]" },
        { "<center>", "[align=center]" },
        { "</center>", "[/align]" },
        { "<span style=\"background-color: ", "[f=" },
        { "</span>", "[/f]" },
        { "<br>", "\r\n" },
    } };

    // The bytes that can start a search text.
    constexpr bool startsSearch(char c)
    {
        return c == '<' || c == '"';
    }

    template <std::size_t N> bool startsWith(const char* p, const char (&text)[N])
    {
        return std::memcmp(p, text, N - 1) == 0;
    }

    // Whether the six digits of a colour at p hold nothing a search text starts with; p has
    // eight bytes to read. The bytes are tested eight at a time: a byte equal to '<' or '"'
    // becomes zero after the exclusive or, and (v - 0x01...) & ~v & 0x80... is non-zero exactly
    // when some byte of v is zero.
    bool plainDigits(const char* p)
    {
        if constexpr (std::endian::native != std::endian::little) {
            for (int i = 0; i < 6; ++i) {
                if (startsSearch(p[i]))
                    return false;
            }
            return true;
        }
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        // The two bytes after the digits, the high ones in memory order, are set apart.
        v = (v & 0x0000FFFFFFFFFFFFull) | 0x4141000000000000ull;
        constexpr std::uint64_t Ones = 0x0101010101010101ull;
        constexpr std::uint64_t Highs = 0x8080808080808080ull;
        const std::uint64_t lt = v ^ (Ones * '<');
        const std::uint64_t quote = v ^ (Ones * '"');
        return ((((lt - Ones) & ~lt) | ((quote - Ones) & ~quote)) & Highs) == 0;
    }

    // The bytes of a cell's glyph at p, before end: one byte, or the bytes of a character
    // beyond ASCII (all at least 0x80, up to four).
    std::size_t glyphLength(const char* p, const char* end)
    {
        if (p >= end)
            return 0;
        if (static_cast<unsigned char>(*p) < 0x80)
            return 1;
        std::size_t length = 0;
        while (length < 4 && p + length < end && static_cast<unsigned char>(p[length]) >= 0x80)
            ++length;
        return length;
    }

    constexpr char SquareOpening[] = "<span style=\"background-color: #";
    constexpr char CellColour[] = "\"><font color=\"#";
    constexpr char LetterOpening[] = "<font color=\"#";
    constexpr char GlyphOpening[] = "\">";
    constexpr char LetterClosing[] = "</font>";
    constexpr char SquareClosing[] = "</font></span>";
    constexpr std::size_t SquareHead
        = sizeof(SquareOpening) - 1 + 6 + sizeof(CellColour) - 1 + 6 + sizeof(GlyphOpening) - 1;
    constexpr std::size_t LetterHead = sizeof(LetterOpening) - 1 + 6 + sizeof(GlyphOpening) - 1;

    constexpr std::size_t NoCell = std::size_t(-1);

    // The length of the glyph at glyph, when colour's "RRGGBB\">" and the glyph then closing,
    // before end, are those of a whole cell; else NoCell.
    std::size_t cellGlyph(
        const char* colour, const char* glyph, const char* end, std::string_view closing)
    {
        const std::size_t length = glyphLength(glyph, end);
        if (!startsWith(colour + 6, GlyphOpening) || !plainDigits(colour)
            || std::size_t(end - glyph) < length + closing.size()
            || std::memcmp(glyph + length, closing.data(), closing.size()) != 0)
            return NoCell;
        return length;
    }

    // "[c=#RRGGBB]g[/c]" of a cell's colour digits and its glyph.
    void writeColouredGlyph(const char* colour, const char* glyph, std::size_t length, char*& out)
    {
        std::memcpy(out, "[c=#", 4);
        std::memcpy(out + 4, colour, 6);
        out[10] = ']';
        std::memcpy(out + 11, glyph, length);
        std::memcpy(out + 11 + length, "[/c]", 4);
        out += 15 + length;
    }

    // A cell as a run writes it, translated whole: "[f=#RRGGBB][c=#RRGGBB]g[/c][/f]" or
    // "[c=#RRGGBB]g[/c]". Its translation step by step is exactly that whatever the glyph: a
    // glyph of one byte is followed by "</font>", so it starts no search text even as "<" or
    // "\"", and a longer one holds no "<" or "\"" at all. The input read, or 0 when p holds no
    // whole cell (the caller then goes on a byte at a time).
    std::size_t translateCell(const char* p, const char* end, char*& out)
    {
        const std::size_t left = std::size_t(end - p);
        if (left >= SquareHead + 1 + sizeof(SquareClosing) - 1 && startsWith(p, SquareOpening)) {
            const char* background = p + sizeof(SquareOpening) - 1;
            const char* colour = background + 6 + sizeof(CellColour) - 1;
            const char* glyph = p + SquareHead;
            const std::size_t length = cellGlyph(colour, glyph, end, SquareClosing);
            if (length == NoCell || !startsWith(background + 6, CellColour)
                || !plainDigits(background))
                return 0;
            std::memcpy(out, "[f=#", 4);
            std::memcpy(out + 4, background, 6);
            out[10] = ']';
            out += 11;
            writeColouredGlyph(colour, glyph, length, out);
            std::memcpy(out, "[/f]", 4);
            out += 4;
            return SquareHead + length + sizeof(SquareClosing) - 1;
        }
        if (left >= LetterHead + 1 + sizeof(LetterClosing) - 1 && startsWith(p, LetterOpening)) {
            const char* colour = p + sizeof(LetterOpening) - 1;
            const char* glyph = p + LetterHead;
            const std::size_t length = cellGlyph(colour, glyph, end, LetterClosing);
            if (length == NoCell)
                return 0;
            writeColouredGlyph(colour, glyph, length, out);
            return LetterHead + length + sizeof(LetterClosing) - 1;
        }
        return 0;
    }

} // namespace

// Why one pass gives the same text as the twelve steps in turn: every search text starts with
// "<" or "\"", and every replacement holds "[", "]" or CR, which no search text contains. So a
// later step can never match across text that an earlier step inserted, and replacements never
// join two pieces of the input. The only overlap between search texts in the input is a
// "<font color=\"" whose quote could also start "\">"; step 1 comes first and wins, as it does
// here by being tried first at the earlier position. Scanning left to right and taking, at each
// "<" or "\"", the first step that matches is therefore exact.
std::string HtmlToBlogCode(std::string_view html)
{
    std::string code;
    code.resize(mostBlogCodeBytes(html.size()));
    code.resize(std::size_t(writeBlogCode(code.data(), html) - code.data()));
    return code;
}

void appendBlogCode(std::string& code, std::string_view html)
{
    // A code kept whole (the window's) grows only by what it takes, as it would by appending.
    const std::size_t before = code.size();
    if (code.capacity() - before < mostBlogCodeBytes(html.size())) {
        code += HtmlToBlogCode(html);
        return;
    }
    code.resize(before + mostBlogCodeBytes(html.size()));
    code.resize(std::size_t(writeBlogCode(code.data() + before, html) - code.data()));
}

char* writeBlogCode(char* out, std::string_view html)
{
    const char* p = html.data();
    const char* const end = p + html.size();
    while (p < end) {
        if (!startsSearch(*p)) {
            const char* plain = p;
            while (p < end && !startsSearch(*p))
                ++p;
            std::memcpy(out, plain, std::size_t(p - plain));
            out += p - plain;
            continue;
        }
        // Most of a run's code is whole cells: each goes in one piece.
        if (const std::size_t read = translateCell(p, end, out)) {
            p += read;
            continue;
        }
        const std::string_view rest(p, std::size_t(end - p));
        const Replacement* found = nullptr;
        for (const auto& step : Steps) {
            if (rest.starts_with(step.search)) {
                found = &step;
                break;
            }
        }
        if (!found) {
            *out++ = *p++;
            continue;
        }
        std::memcpy(out, found->replacement.data(), found->replacement.size());
        out += found->replacement.size();
        p += found->search.size();
    }
    return out;
}

namespace {

    // A cell's glyph in the HTML row, and its blog code with the digits and the glyph to fill.
    constexpr std::size_t LetterGlyph = LetterHead, SquareGlyph = SquareHead;
    constexpr char LetterCode[] = "[c=#000000]o[/c]";
    constexpr char SquareCode[] = "[f=#000000][c=#000000]o[/c][/f]";
    static_assert(LetterGlyph + sizeof(LetterClosing) == html::LetterCellLength);
    static_assert(SquareGlyph + sizeof(SquareClosing) == html::SquareCellLength);

    template <bool Square>
    char* writeCells(char* out, const char* cell, std::span<const ColourValue> colours)
    {
        constexpr std::size_t length = Square ? sizeof(SquareCode) - 1 : sizeof(LetterCode) - 1;
        constexpr std::size_t step = Square ? html::SquareCellLength : html::LetterCellLength;
        for (const ColourValue colour : colours) {
            std::memcpy(out, Square ? SquareCode : LetterCode, length);
            const std::uint64_t digits = webDigitsWord(colour);
            std::memcpy(out + 4, &digits, 6);
            if constexpr (Square) {
                std::memcpy(out + 15, &digits, 6);
                out[22] = cell[SquareGlyph];
            } else {
                out[11] = cell[LetterGlyph];
            }
            out += length;
            cell += step;
        }
        return out;
    }

} // namespace

char* writeBlogCodeOfCells(char* out, const BuiltRow& row)
{
    // Every cell at its place, one byte of glyph each, and the row end after the last: then each
    // cell is the run's template with its colour's digits, whose blog code translateCell() shows
    // is the fixed one.
    const bool square = row.mode == CellMode::Square;
    const std::size_t step = square ? html::SquareCellLength : html::LetterCellLength;
    const std::size_t cells = row.colours.size();
    // A row chosen by shape has two colours a cell: only its HTML holds them.
    if (!row.runStarts.empty() || !row.backgrounds.empty()
        || row.html.size() != cells * step + html::RowEnd.size()
        || !row.html.ends_with(html::RowEnd))
        return nullptr;
    if (cells > 0 && !row.html.starts_with(square ? SquareOpening : LetterOpening))
        return nullptr;
    out = square ? writeCells<true>(out, row.html.data(), row.colours)
                 : writeCells<false>(out, row.html.data(), row.colours);
    std::memcpy(out, "\r\n", 2);
    return out + 2;
}

char* writeBlogCodeOfRow(char* out, const BuiltRow& row)
{
    char* const end = writeBlogCodeOfCells(out, row);
    return end ? end : writeBlogCode(out, row.html);
}

void setBlogCodeOfRow(std::string& code, const BuiltRow& row)
{
    code.resize(mostBlogCodeBytes(row.html.size()));
    code.resize(std::size_t(writeBlogCodeOfRow(code.data(), row) - code.data()));
}

namespace {

    CodeWrapping wrapping(
        bool bold, bool italic, bool centred, const std::array<std::string_view, 6>& tags)
    {
        CodeWrapping result;
        if (bold) {
            result.opening.insert(0, tags[0]);
            result.closing += tags[1];
        }
        if (italic) {
            result.opening.insert(0, tags[2]);
            result.closing += tags[3];
        }
        if (centred) {
            result.opening.insert(0, tags[4]);
            result.closing += tags[5];
        }
        return result;
    }

    constexpr std::array<std::string_view, 6> BlogTags { "[g]", "[/g]", "[i]", "[/i]",
        "[align=center]", "[/align]" };
    constexpr std::array<std::string_view, 6> HtmlTags { "<b>", "</b>", "<i>", "</i>", "<center>",
        "</center>" };

    void wrap(std::string& code, const CodeWrapping& tags)
    {
        code.insert(0, tags.opening);
        code += tags.closing;
    }

} // namespace

CodeWrapping blogCodeWrapping(bool bold, bool italic, bool centred)
{
    return wrapping(bold, italic, centred, BlogTags);
}

CodeWrapping htmlCodeWrapping(bool bold, bool italic, bool centred)
{
    return wrapping(bold, italic, centred, HtmlTags);
}

void WrapBlogCode(std::string& code, bool bold, bool italic, bool centred)
{
    wrap(code, blogCodeWrapping(bold, italic, centred));
}

void WrapHtmlCode(std::string& code, bool bold, bool italic, bool centred)
{
    wrap(code, htmlCodeWrapping(bold, italic, centred));
}

} // namespace mosaiq
