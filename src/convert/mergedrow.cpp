#include "convert/mergedrow.h"

#include "convert/colourdifference.h"
#include "convert/htmldocument.h"

namespace mosaiq {

namespace {

    // The entity of a character HTML reads as markup, or empty.
    std::string_view entityOf(char c)
    {
        switch (c) {
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '&':
            return "&amp;";
        case '"':
            return "&quot;";
        default:
            return {};
        }
    }

    void appendGlyph(std::string& out, const char* bytes, std::size_t length)
    {
        const std::string_view entity = length == 1 ? entityOf(bytes[0]) : std::string_view();
        if (entity.empty())
            out.append(bytes, length);
        else
            out += entity;
    }

    void appendOpening(std::string& out, ColourValue colour, bool square)
    {
        char digits[6];
        writeWebDigits(digits, colour);
        if (square) {
            out += html::SpanOpen;
            out += '#';
            out.append(digits, 6);
            out += html::AttributeEnd;
        }
        out += html::LetterOpen;
        out += '#';
        out.append(digits, 6);
        out += html::AttributeEnd;
    }

    void appendClosing(std::string& out, bool square)
    {
        out += html::FontClose;
        if (square)
            out += html::SpanClose;
    }

} // namespace

void groupRuns(std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts)
{
    starts.clear();
    if (colours.empty())
        return;
    starts.push_back(0);
    ColourValue runColour = colours[0];
    LabColour runLab = labOf(runColour);
    // Photos repeat colours often enough that remembering the last cell's verdict pays.
    ColourValue lastColour = runColour;
    bool lastJoined = true;
    for (std::size_t i = 1; i < colours.size(); ++i) {
        const ColourValue colour = colours[i];
        bool joins = colour == runColour;
        if (!joins && tolerance > 0.0) {
            if (colour != lastColour) {
                lastColour = colour;
                lastJoined = ciede2000(runLab, labOf(colour)) <= tolerance;
            }
            joins = lastJoined;
        }
        if (joins) {
            colours[i] = runColour;
            continue;
        }
        starts.push_back(static_cast<std::uint32_t>(i));
        runColour = colour;
        runLab = labOf(colour);
        lastColour = colour;
        lastJoined = true;
    }
}

void MergedRow::build(std::span<ColourValue> colours, std::span<const Glyph> glyphs, bool square)
{
    groupRuns(colours, m_tolerance, m_starts);
    m_ascii = true;
    for (const Glyph& glyph : glyphs)
        m_ascii = m_ascii && glyph.isAscii();

    m_row.clear();
    m_pageRow.clear();
    const std::size_t runs = m_starts.size();
    for (std::size_t r = 0; r < runs; ++r) {
        const std::size_t begin = m_starts[r];
        const std::size_t end = r + 1 < runs ? m_starts[r + 1] : glyphs.size();
        appendOpening(m_row, colours[begin], square);
        if (!m_ascii)
            appendOpening(m_pageRow, colours[begin], square);
        for (std::size_t i = begin; i < end; ++i) {
            appendGlyph(m_row, glyphs[i].utf8, glyphs[i].utf8Length);
            if (!m_ascii)
                appendGlyph(m_pageRow, &glyphs[i].page, 1);
        }
        appendClosing(m_row, square);
        if (!m_ascii)
            appendClosing(m_pageRow, square);
    }
    m_row += html::RowEnd;
    if (!m_ascii)
        m_pageRow += html::RowEnd;
}

} // namespace mosaiq
