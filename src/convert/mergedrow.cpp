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

void MergedRow::group(std::span<ColourValue> colours)
{
    m_sampled.assign(colours.begin(), colours.end());
    if (m_chooser)
        m_chooser->choose(colours, m_tolerance, m_starts, &m_nesting);
    else
        groupRuns(colours, m_tolerance, m_starts);
}

void MergedRow::prepare(std::span<const Glyph> glyphs)
{
    m_ascii = true;
    for (const Glyph& glyph : glyphs)
        m_ascii = m_ascii && glyph.isAscii();
    reserve(glyphs.size() * MostPerCell + html::RowEnd.size());
}

void MergedRow::build(std::span<ColourValue> colours, std::span<const Glyph> glyphs, bool square)
{
    group(colours);
    prepare(glyphs);
    RawWriter row { m_row.get() }, page { m_pageRow.get() };
    const std::string_view closing = square ? "</font></span>" : html::FontClose;
    char openingBuffer[MostOpening];
    const std::size_t runs = m_starts.size();
    for (std::size_t r = 0; r < runs; ++r) {
        const std::size_t begin = m_starts[r];
        const std::size_t end = r + 1 < runs ? m_starts[r + 1] : glyphs.size();
        const std::string_view open = opening(openingBuffer, colours[begin], square);
        row.put(open);
        if (!m_ascii)
            page.put(open);
        for (std::size_t i = begin; i < end; ++i) {
            row.glyph(glyphs[i].utf8, glyphs[i].utf8Length);
            if (!m_ascii)
                page.glyph(glyphs[i].page, glyphs[i].pageLength);
        }
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
    std::span<const Glyph> glyphs, MergedRow& backgroundRuns)
{
    backgroundRuns.group(backgrounds);
    group(inks);
    prepare(glyphs);
    RawWriter row { m_row.get() }, page { m_pageRow.get() };
    const auto put = [&](std::string_view text) {
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
        putColour(html::SpanOpen, backgrounds[spans[r]]);
        for (std::size_t i = spans[r]; i < end;) {
            while (ink < m_starts.size() && m_starts[ink] <= i)
                ++ink;
            const std::size_t pieceEnd
                = ink < m_starts.size() ? std::min<std::size_t>(m_starts[ink], end) : end;
            putColour(html::LetterOpen, inks[i]);
            for (; i < pieceEnd; ++i) {
                row.glyph(glyphs[i].utf8, glyphs[i].utf8Length);
                if (!m_ascii)
                    page.glyph(glyphs[i].page, glyphs[i].pageLength);
            }
            put(html::FontClose);
        }
        put(html::SpanClose);
    }
    put(html::RowEnd);
    m_rowLength = std::size_t(row.out - m_row.get());
    m_pageRowLength = std::size_t(page.out - m_pageRow.get());
}

} // namespace mosaiq
