#include "output/codes/bracketcode.h"

#include "convert/taglayers.h"
#include "output/codes/chatcolours.h"

#include <algorithm>

namespace mosaiq {

namespace {

    constexpr std::string_view LineEnd = "\r\n";
    constexpr std::string_view FullBlock = "\xE2\x96\x88"; // U+2588
    // A cell the picture leaves transparent, without colour: in a forum, whose page folds spaces,
    // a no-break space, as the HTML code writes it; in a chat's monospace lines, a space.
    constexpr std::string_view NoBreakSpace = "\xC2\xA0";

    bool transparentAt(const BuiltRow& row, std::size_t i)
    {
        return i < row.transparent.size() && row.transparent[i] != 0;
    }

    bool isAsciiPunctuation(char c)
    {
        return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`')
            || (c >= '{' && c <= '~');
    }

} // namespace

BracketCode::BracketCode(
    const ForumDialect& dialect, std::int64_t rowCount, bool keepText, ColourForms forms)
    : m_dialect(dialect)
    , m_rowCount(rowCount)
    , m_keepText(keepText)
    , m_forms(forms)
{
}

bool BracketCode::standsAlone(const Glyph& glyph) const
{
    return glyph.utf8Length == 1 && m_dialect.standAlone.find(glyph.utf8[0]) != std::string::npos;
}

void BracketCode::open(std::string_view tag, ColourValue colour)
{
    // The tags end in "#": the colour's text follows it.
    char text[7];
    const std::size_t length = writeColourText(text, colour, m_forms);
    const std::string_view value
        = text[0] == '#' ? std::string_view(text + 1, length - 1) : std::string_view(text, length);
    m_row += text[0] == '#' ? tag : tag.substr(0, tag.size() - 1);
    m_row += value;
    m_row += ']';
}

void BracketCode::openTag(ColourValue colour, bool square)
{
    if (square && !m_dialect.backgroundOpen.empty())
        open(m_dialect.backgroundOpen, colour);
    open(m_dialect.colourOpen, colour);
}

void BracketCode::closeTag(bool square)
{
    m_row += m_dialect.colourClose;
    if (square && !m_dialect.backgroundOpen.empty())
        m_row += m_dialect.backgroundClose;
}

void BracketCode::appendGlyph(const Glyph& glyph, bool square)
{
    if (square && m_dialect.backgroundOpen.empty()) {
        m_row += FullBlock;
        return;
    }
    if (m_dialect.escape == GlyphEscape::Markdown && glyph.utf8Length == 1
        && isAsciiPunctuation(glyph.utf8[0]))
        m_row += '\\';
    m_row.append(glyph.utf8, glyph.utf8Length);
}

void BracketCode::writeChatRow(const BuiltRow& row)
{
    const bool square = row.mode == CellMode::Square;
    const CodeKind kind = m_dialect.kind;
    const auto palette = kind == CodeKind::Discord ? discordColours() : ircColours();
    int current = -1;
    ColourValue last = InvalidColour;
    for (std::size_t i = 0; i < row.glyphs.size(); ++i) {
        if (transparentAt(row, i)) {
            m_row += ' ';
            continue;
        }
        const ColourValue colour = row.colours[i];
        if (kind == CodeKind::Ansi) {
            if (i == 0 || colour != last) {
                const auto bits = static_cast<std::uint32_t>(colour);
                m_row += "\x1b[38;2;" + std::to_string(bits & 0xFF) + ';'
                    + std::to_string((bits >> 8) & 0xFF) + ';' + std::to_string((bits >> 16) & 0xFF)
                    + 'm';
            }
        } else {
            int code = current;
            if (i == 0 || colour != last) {
                auto known = m_chatCodes.find(colour);
                if (known == m_chatCodes.end())
                    known = m_chatCodes.emplace(colour, nearestIndex(palette, colour)).first;
                code = known->second;
            }
            if (code != current) {
                if (kind == CodeKind::Discord) {
                    m_row += "\x1b[3";
                    m_row += char('0' + code);
                    m_row += 'm';
                } else {
                    // Always two digits, so that a digit glyph is never read as part of it.
                    m_row += '\x03';
                    m_row += char('0' + code / 10);
                    m_row += char('0' + code % 10);
                    // A comma then a digit would be read as a background: two bold switches
                    // keep them apart.
                    if (row.glyphs[i].utf8Length == 1 && row.glyphs[i].utf8[0] == ',')
                        m_row += "\x02\x02";
                }
            }
            current = code;
        }
        last = colour;
        appendGlyph(row.glyphs[i], square);
    }
    if (kind != CodeKind::Irc && !row.glyphs.empty())
        m_row += "\x1b[0m";
    m_row += kind == CodeKind::Irc ? LineEnd : "\n";
}

void BracketCode::closeTo(std::size_t depth, bool square)
{
    while (m_openColours.size() > depth) {
        closeTag(square);
        m_openColours.pop_back();
    }
}

void BracketCode::writeNestedRuns(const BuiltRow& row, bool square)
{
    const auto& starts = row.runStarts;
    const std::size_t cells = row.glyphs.size();
    m_openColours.clear();
    for (std::size_t r = 0; r < starts.size(); ++r) {
        const std::size_t begin = starts[r];
        const std::size_t end = r + 1 < starts.size() ? starts[r + 1] : cells;
        if (begin >= end || end > cells)
            continue;
        const ColourValue colour = row.colours[begin];
        const std::uint8_t nesting = row.runNesting[r];
        const std::size_t depth = nesting & ~TagLayers::TakesBack;
        // Only a tag of the run's own colour is taken back, so a cell never shows another.
        if ((nesting & TagLayers::TakesBack) && depth >= 1 && depth <= m_openColours.size()
            && m_openColours[depth - 1] == colour) {
            closeTo(depth, square);
        } else {
            closeTo(std::min(depth == 0 ? 0 : depth - 1, TagLayers::MostOpen - 1), square);
            openTag(colour, square);
            m_openColours.push_back(colour);
        }
        for (std::size_t i = begin; i < end; ++i) {
            // A glyph that stands alone has a tag of its own inside the run's.
            const bool alone = standsAlone(row.glyphs[i]);
            if (alone)
                openTag(row.colours[i], square);
            appendGlyph(row.glyphs[i], square);
            if (alone)
                closeTag(square);
        }
    }
    closeTo(0, square);
}

void BracketCode::writeShapedRow(const BuiltRow& row)
{
    // Each cell in its two colours, as the blog code translated from the page's cells has them:
    // square mode's tags around the glyph the shape chose. Without merged runs every glyph is
    // alone in its cell's tags, so none could spell a tag with its neighbours; with them a
    // background's tag holds its run, and the ink's tags theirs, each cut where the background's
    // ends, and a glyph that stands alone has tags of its own.
    const auto& spans = row.backgroundRunStarts;
    const auto& inks = row.runStarts;
    const bool merged = !spans.empty();
    std::size_t nextSpan = 0, nextInk = 0;
    bool spanOpen = false, inkOpen = false, previousAlone = false;
    for (std::size_t i = 0; i < row.glyphs.size(); ++i) {
        if (transparentAt(row, i)) {
            // A cell the picture leaves transparent has no colour: the tags close before it.
            if (inkOpen)
                m_row += m_dialect.colourClose;
            if (spanOpen)
                m_row += m_dialect.backgroundClose;
            spanOpen = inkOpen = previousAlone = false;
            m_row += NoBreakSpace;
            continue;
        }
        // A stretch of transparent cells is a run of its own, whose start was passed over.
        while (nextSpan < spans.size() && spans[nextSpan] < i)
            ++nextSpan;
        while (nextInk < inks.size() && inks[nextInk] < i)
            ++nextInk;
        const bool spanStarts = nextSpan < spans.size() && spans[nextSpan] == i;
        const bool inkStarts = nextInk < inks.size() && inks[nextInk] == i;
        nextSpan += spanStarts ? 1 : 0;
        nextInk += inkStarts ? 1 : 0;
        const bool newSpan = !merged || spanStarts, newInk = !merged || inkStarts;
        const bool alone = merged && standsAlone(row.glyphs[i]);
        if (inkOpen && (newSpan || newInk || alone || previousAlone)) {
            m_row += m_dialect.colourClose;
            inkOpen = false;
        }
        if (spanOpen && newSpan) {
            m_row += m_dialect.backgroundClose;
            spanOpen = false;
        }
        if (!spanOpen)
            open(m_dialect.backgroundOpen, row.backgrounds[i]);
        if (!inkOpen)
            open(m_dialect.colourOpen, row.colours[i]);
        spanOpen = inkOpen = true;
        appendGlyph(row.glyphs[i], false);
        previousAlone = alone;
    }
    if (inkOpen)
        m_row += m_dialect.colourClose;
    if (spanOpen)
        m_row += m_dialect.backgroundClose;
}

void BracketCode::rowBuilt(const BuiltRow& given)
{
    // A row chosen by shape: both colours where the dialect has a background tag, else the text
    // alone, as fitted over the reader's background.
    BuiltRow text;
    const bool shaped = !given.backgrounds.empty();
    const bool twoColours
        = shaped && m_dialect.kind == CodeKind::Bracket && !m_dialect.backgroundOpen.empty();
    if (shaped && !twoColours) {
        text = given;
        text.mode = CellMode::Letter;
        text.glyphs = given.textGlyphs;
        text.colours = given.textColours;
        text.backgrounds = {};
        text.runStarts = given.textRunStarts;
        text.runNesting = given.textRunNesting;
        text.backgroundRunStarts = {};
    }
    const BuiltRow& row = shaped && !twoColours ? text : given;
    const bool square = row.mode == CellMode::Square;
    m_row.clear();
    if (twoColours) {
        writeShapedRow(row);
        m_row += LineEnd;
        finishRow(row);
        return;
    }
    if (m_dialect.kind != CodeKind::Bracket) {
        writeChatRow(row);
        finishRow(row);
        return;
    }
    if (m_forms.nestedTags && !row.runNesting.empty()
        && row.runNesting.size() == row.runStarts.size()) {
        writeNestedRuns(row, square);
        m_row += LineEnd;
        finishRow(row);
        return;
    }
    const std::size_t cells = row.glyphs.size();
    // Without merged runs every cell starts a run of its own.
    const auto& starts = row.runStarts;
    std::size_t nextStart = 0;
    bool open = false, previousAlone = false;
    for (std::size_t i = 0; i < cells; ++i) {
        bool startsRun = starts.empty();
        if (!startsRun && nextStart < starts.size() && starts[nextStart] == i) {
            startsRun = true;
            ++nextStart;
        }
        if (transparentAt(row, i)) {
            if (open)
                closeTag(square);
            open = previousAlone = false;
            m_row += NoBreakSpace;
            continue;
        }
        const Glyph& glyph = row.glyphs[i];
        const bool alone = standsAlone(glyph);
        if (open && (startsRun || alone || previousAlone)) {
            closeTag(square);
            open = false;
        }
        if (!open) {
            openTag(row.colours[i], square);
            open = true;
        }
        appendGlyph(glyph, square);
        previousAlone = alone;
    }
    if (open)
        closeTag(square);
    m_row += LineEnd;
    finishRow(row);
}

void BracketCode::finishRow(const BuiltRow& row)
{
    m_characters += sizeIn(m_row, LimitUnit::Characters);
    m_bytes += m_row.size();
    m_longestRow = std::max(m_longestRow, sizeIn(m_row, m_dialect.unit));
    if (m_dialect.rowPerMessage && m_firstRowPastLimit == 0
        && sizeIn(m_row, m_dialect.unit) > m_dialect.postLimit + LineEnd.size())
        m_firstRowPastLimit = row.number;
    if (!m_keepText)
        return;
    if (row.number == 1 && m_rowCount > 0) {
        // As the codes do: once the first row shows the size, ask for it all, within reason.
        constexpr double Cap = 1.5e9;
        m_rows.reserve(std::size_t(std::min(Cap, double(m_row.size()) * double(m_rowCount))));
        m_rowEnds.reserve(std::size_t(std::min<std::int64_t>(m_rowCount, 100'000'000)));
    }
    m_rows += m_row;
    m_rowEnds.push_back(m_rows.size());
}

std::string BracketCode::openingTags(const StyleFlags& style) const
{
    std::string tags(m_dialect.codeOpen);
    if (style.centred)
        tags += m_dialect.centreOpen;
    if (style.italic)
        tags += m_dialect.italicOpen;
    if (style.bold)
        tags += m_dialect.boldOpen;
    return tags;
}

std::string BracketCode::closingTags(const StyleFlags& style) const
{
    std::string tags;
    if (style.bold)
        tags += m_dialect.boldClose;
    if (style.italic)
        tags += m_dialect.italicClose;
    if (style.centred)
        tags += m_dialect.centreClose;
    tags += m_dialect.codeClose;
    return tags;
}

std::string BracketCode::takeCode(const StyleFlags& style)
{
    std::string code = std::move(m_rows);
    code.insert(0, openingTags(style));
    code += closingTags(style);
    m_rows.clear();
    m_rowEnds.clear();
    return code;
}

} // namespace mosaiq
