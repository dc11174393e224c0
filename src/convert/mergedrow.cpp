#include "convert/mergedrow.h"

#include "convert/colourdifference.h"
#include "convert/htmldocument.h"
#include "convert/runchooser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mosaiq {

namespace {

    // Writes into a buffer sized beforehand for the worst case, without a check per piece.
    struct RawWriter {
        char* out;
        void put(std::string_view text)
        {
            std::memcpy(out, text.data(), text.size());
            out += text.size();
        }
        // A glyph, as an entity where HTML would read it as markup.
        void glyph(const char* bytes, std::size_t length)
        {
            if (length == 1) {
                switch (bytes[0]) {
                case '<':
                    return put("&lt;");
                case '>':
                    return put("&gt;");
                case '&':
                    return put("&amp;");
                case '"':
                    return put("&quot;");
                default:
                    *out++ = bytes[0];
                    return;
                }
            }
            put({ bytes, length });
        }
    };

    // The opening tags of a run, square mode's span included.
    std::string_view opening(char* buffer, ColourValue colour, bool square)
    {
        RawWriter w { buffer };
        char digits[7] = { '#' };
        writeWebDigits(digits + 1, colour);
        if (square) {
            w.put(html::SpanOpen);
            w.put({ digits, 7 });
            w.put(html::AttributeEnd);
        }
        w.put(html::LetterOpen);
        w.put({ digits, 7 });
        w.put(html::AttributeEnd);
        return { buffer, std::size_t(w.out - buffer) };
    }

    constexpr std::size_t MostOpening = 31 + 7 + 2 + 13 + 7 + 2;
    constexpr std::size_t MostClosing = 7 + 7;
    // A run of one cell in square mode whose glyph is an entity ("&quot;") or, in the page, a
    // character reference.
    constexpr std::size_t MostPerCell
        = MostOpening + std::max<std::size_t>(6, MostPageGlyph) + MostClosing;

} // namespace

void groupRuns(std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts)
{
    starts.clear();
    if (colours.empty())
        return;
    starts.push_back(0);
    ColourValue runColour = colours[0];
    // Equal colours alone need no L*a*b*; with a tolerance, the run's is worked out once.
    const bool measure = tolerance > 0.0;
    LabColour runLab = measure ? labOf(runColour) : LabColour {};
    // Photos repeat colours often enough that remembering the last cell's verdict pays.
    ColourValue lastColour = runColour;
    bool lastJoined = true;
    for (std::size_t i = 1; i < colours.size(); ++i) {
        const ColourValue colour = colours[i];
        bool joins = colour == runColour;
        if (!joins && measure) {
            if (colour != lastColour) {
                lastColour = colour;
                const LabColour lab = labOf(colour);
                const double lightness = std::abs(lab.l - runLab.l);
                // The bound is loosened by a hair so that rounding never turns away a colour
                // that the full difference would let in.
                const double bound = tolerance * lightnessWeight((lab.l + runLab.l) / 2.0);
                lastJoined
                    = lightness <= bound * (1.0 + 1e-9) && ciede2000(runLab, lab) <= tolerance;
            }
            joins = lastJoined;
        }
        if (joins) {
            colours[i] = runColour;
            continue;
        }
        starts.push_back(static_cast<std::uint32_t>(i));
        runColour = colour;
        if (measure)
            runLab = labOf(colour);
        lastColour = colour;
        lastJoined = true;
    }
}

MergedRow::MergedRow(double tolerance, bool bestRuns, ColourForms forms)
    : m_tolerance(tolerance)
    , m_chooser(bestRuns ? std::make_unique<RunChooser>(forms) : nullptr)
{
}

MergedRow::~MergedRow() = default;

void MergedRow::reserve(std::size_t bytes)
{
    if (bytes <= m_capacity)
        return;
    m_capacity = std::max(bytes, m_capacity + m_capacity / 2);
    m_row.reset(new char[m_capacity]);
    m_pageRow.reset(new char[m_capacity]);
}

void MergedRow::planAhead(std::span<const ColourValue> colours, std::uint64_t after)
{
    if (m_chooser)
        m_chooser->planAhead(colours, m_tolerance, after);
}

namespace {

    // Whether flags, one a cell of a row of cells, marks any.
    bool anyTransparent(std::size_t cells, std::span<const std::uint8_t> flags)
    {
        return flags.size() == cells
            && std::find_if(flags.begin(), flags.end(), [](std::uint8_t f) { return f != 0; })
            != flags.end();
    }

    constexpr std::string_view NoBreakSpace = "\xC2\xA0";

} // namespace

void MergedRow::group(std::span<ColourValue> colours, std::span<const std::uint8_t> transparent)
{
    m_sampled.assign(colours.begin(), colours.end());
    const bool cut = anyTransparent(colours.size(), transparent);
    if (m_chooser) {
        // The chooser plans whole rows, some of them ahead: its runs are cut afterwards, each
        // cell still within the tolerance of its run's colour.
        m_chooser->choose(colours, m_tolerance, m_starts, &m_nesting);
        if (cut)
            cutAtTransparent(colours, transparent);
        return;
    }
    if (!cut) {
        groupRuns(colours, m_tolerance, m_starts);
        return;
    }
    // Each stretch of opaque cells is grouped alone, so that no run takes its colour from a
    // cell the reader does not see.
    std::vector<std::uint32_t> pieceStarts;
    m_starts.clear();
    for (std::size_t begin = 0; begin < colours.size();) {
        const bool clear = transparent[begin] != 0;
        std::size_t end = begin + 1;
        while (end < colours.size() && (transparent[end] != 0) == clear)
            ++end;
        if (clear) {
            m_starts.push_back(std::uint32_t(begin));
            std::fill(colours.begin() + std::ptrdiff_t(begin),
                colours.begin() + std::ptrdiff_t(end), colours[begin]);
        } else {
            groupRuns(colours.subspan(begin, end - begin), m_tolerance, pieceStarts);
            for (const std::uint32_t start : pieceStarts)
                m_starts.push_back(std::uint32_t(begin) + start);
        }
        begin = end;
    }
}

void MergedRow::cutAtTransparent(
    std::span<ColourValue> colours, std::span<const std::uint8_t> transparent)
{
    std::vector<std::uint32_t> cut;
    cut.reserve(m_starts.size() + 2);
    std::size_t next = 0;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const bool starts = next < m_starts.size() && m_starts[next] == i;
        next += starts ? 1 : 0;
        const bool clear = transparent[i] != 0;
        const bool edge = i == 0 || clear != (transparent[i - 1] != 0);
        if (edge || (starts && !clear))
            cut.push_back(std::uint32_t(i));
        if (clear)
            colours[i] = m_sampled[cut.back()];
    }
    m_starts = std::move(cut);
    // The nesting was planned for the runs uncut: the tags are then written flat.
    m_nesting.clear();
}

void MergedRow::prepare(std::span<const Glyph> glyphs, std::span<const std::uint8_t> transparent)
{
    m_ascii = true;
    for (const Glyph& glyph : glyphs)
        m_ascii = m_ascii && glyph.isAscii();
    // The codes' row then differs from the page's.
    m_ascii = m_ascii && !anyTransparent(glyphs.size(), transparent);
    reserve(glyphs.size() * MostPerCell + html::RowEnd.size());
}

void MergedRow::build(std::span<ColourValue> colours, std::span<const Glyph> glyphs, bool square,
    std::span<const std::uint8_t> transparent)
{
    group(colours, transparent);
    prepare(glyphs, transparent);
    const bool cut = anyTransparent(glyphs.size(), transparent);
    RawWriter row { m_row.get() }, page { m_pageRow.get() };
    const std::string_view closing = square ? "</font></span>" : html::FontClose;
    char openingBuffer[MostOpening];
    const std::size_t runs = m_starts.size();
    for (std::size_t r = 0; r < runs; ++r) {
        const std::size_t begin = m_starts[r];
        const std::size_t end = r + 1 < runs ? m_starts[r + 1] : glyphs.size();
        const std::string_view open = opening(openingBuffer, colours[begin], square);
        const bool clear = cut && transparent[begin] != 0;
        if (!clear)
            row.put(open);
        if (!m_ascii)
            page.put(open);
        for (std::size_t i = begin; i < end; ++i) {
            if (clear)
                row.put(NoBreakSpace);
            else
                row.glyph(glyphs[i].utf8, glyphs[i].utf8Length);
            if (!m_ascii)
                page.glyph(glyphs[i].page, glyphs[i].pageLength);
        }
        if (!clear)
            row.put(closing);
        if (!m_ascii)
            page.put(closing);
    }
    row.put(html::RowEnd);
    m_rowLength = std::size_t(row.out - m_row.get());
    if (!m_ascii) {
        page.put(html::RowEnd);
        m_pageRowLength = std::size_t(page.out - m_pageRow.get());
    }
}

void MergedRow::buildShaped(std::span<ColourValue> inks, std::span<ColourValue> backgrounds,
    std::span<const Glyph> glyphs, MergedRow& backgroundRuns,
    std::span<const std::uint8_t> transparent)
{
    backgroundRuns.group(backgrounds, transparent);
    group(inks, transparent);
    prepare(glyphs, transparent);
    const bool cut = anyTransparent(glyphs.size(), transparent);
    RawWriter row { m_row.get() }, page { m_pageRow.get() };
    // The codes' row leaves out the tags of a transparent stretch, which the page keeps.
    bool clear = false;
    const auto put = [&](std::string_view text) {
        if (!clear)
            row.put(text);
        if (!m_ascii)
            page.put(text);
    };
    const auto putColour = [&](std::string_view tag, ColourValue colour) {
        char text[7] = { '#' };
        writeWebDigits(text + 1, colour);
        put(tag);
        put({ text, 7 });
        put(html::AttributeEnd);
    };
    const std::span<const std::uint32_t> spans = backgroundRuns.m_starts;
    std::size_t ink = 0; // the ink run after the one of the cell being written
    for (std::size_t r = 0; r < spans.size(); ++r) {
        const std::size_t end = r + 1 < spans.size() ? spans[r + 1] : glyphs.size();
        clear = cut && transparent[spans[r]] != 0;
        putColour(html::SpanOpen, backgrounds[spans[r]]);
        for (std::size_t i = spans[r]; i < end;) {
            while (ink < m_starts.size() && m_starts[ink] <= i)
                ++ink;
            const std::size_t pieceEnd
                = ink < m_starts.size() ? std::min<std::size_t>(m_starts[ink], end) : end;
            putColour(html::LetterOpen, inks[i]);
            for (; i < pieceEnd; ++i) {
                if (clear)
                    row.put(NoBreakSpace);
                else
                    row.glyph(glyphs[i].utf8, glyphs[i].utf8Length);
                if (!m_ascii)
                    page.glyph(glyphs[i].page, glyphs[i].pageLength);
            }
            put(html::FontClose);
        }
        put(html::SpanClose);
    }
    clear = false;
    put(html::RowEnd);
    m_rowLength = std::size_t(row.out - m_row.get());
    m_pageRowLength = std::size_t(page.out - m_pageRow.get());
}

} // namespace mosaiq
