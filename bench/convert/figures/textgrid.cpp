#include "convert/figures/textgrid.h"

#include <charconv>
#include <map>
#include <utility>

namespace {

constexpr char Escape = '\x1b';

// The code point that starts at text[at], moving at past it; U+FFFD for a broken sequence.
char32_t nextCodePoint(std::string_view text, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(text[at++]);
    const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || at + std::size_t(extra) > text.size())
        return U'\uFFFD';
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i)
        c = (c << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
    return c;
}

// The character of an entity (without & and ;), or nothing for one this code never writes.
std::optional<char32_t> entityCharacter(std::string_view name)
{
    static const std::map<std::string_view, char32_t> Named { { "nbsp", U'\u00A0' }, { "lt", U'<' },
        { "gt", U'>' }, { "amp", U'&' }, { "quot", U'"' } };
    if (const auto found = Named.find(name); found != Named.end())
        return found->second;
    unsigned value = 0;
    const bool hex = name.size() > 2 && (name[1] == 'x' || name[1] == 'X');
    const std::size_t digits = hex ? 2 : 1;
    if (name.size() <= digits || name[0] != '#')
        return {};
    const auto [end, error]
        = std::from_chars(name.data() + digits, name.data() + name.size(), value, hex ? 16 : 10);
    if (error != std::errc() || end != name.data() + name.size())
        return {};
    return char32_t(value);
}

// The characters of the text between a <font> and its </font>.
std::u32string charactersOf(std::string_view text)
{
    std::u32string characters;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '&') {
            const std::size_t end = text.find(';', at);
            if (end != std::string_view::npos) {
                if (const auto c = entityCharacter(text.substr(at + 1, end - at - 1))) {
                    characters += *c;
                    at = end + 1;
                    continue;
                }
            }
        }
        characters += nextCodePoint(text, at);
    }
    return characters;
}

// The colour of "#RRGGBB" after key in a tag, or nothing.
std::optional<std::uint32_t> colourAfter(std::string_view tag, std::string_view key)
{
    const std::size_t at = tag.find(key);
    constexpr std::size_t Digits = 6;
    if (at == std::string_view::npos || at + key.size() + 1 + Digits > tag.size()
        || tag[at + key.size()] != '#')
        return {};
    const char* first = tag.data() + at + key.size() + 1;
    std::uint32_t colour = 0;
    const auto [end, error] = std::from_chars(first, first + Digits, colour, 16);
    if (error != std::errc() || end != first + Digits)
        return {};
    return colour;
}

// Rows gathered cell by cell, all of one length.
class GridBuilder {
public:
    void add(const TextCell& cell)
    {
        m_grid.cells.push_back(cell);
        ++m_column;
    }
    void endRow()
    {
        if (m_column == 0)
            return;
        if (m_grid.rows == 0)
            m_grid.columns = m_column;
        else if (m_column != m_grid.columns)
            m_error = "row " + std::to_string(m_grid.rows + 1) + " has " + std::to_string(m_column)
                + " cells, the first " + std::to_string(m_grid.columns);
        ++m_grid.rows;
        m_column = 0;
    }
    TextReading finish()
    {
        endRow();
        if (m_grid.rows == 0 && m_error.empty())
            m_error = "no cell";
        if (!m_error.empty())
            return { {}, m_error };
        return { std::move(m_grid), {} };
    }

private:
    TextGrid m_grid;
    int m_column = 0;
    std::string m_error;
};

} // namespace

TextReading readHtmlCode(std::string_view code, std::uint32_t pageGround)
{
    GridBuilder builder;
    std::uint32_t ground = pageGround;
    std::size_t at = 0;
    while (at < code.size()) {
        const std::size_t open = code.find('<', at);
        if (open == std::string_view::npos)
            break;
        const std::size_t close = code.find('>', open);
        if (close == std::string_view::npos)
            return { {}, "an unfinished tag" };
        const std::string_view tag = code.substr(open, close + 1 - open);
        at = close + 1;
        if (tag.starts_with("<span")) {
            ground = colourAfter(tag, "background-color: ").value_or(pageGround);
        } else if (tag == "</span>") {
            ground = pageGround;
        } else if (tag == "<br>") {
            builder.endRow();
        } else if (tag.starts_with("<font")) {
            const auto ink = colourAfter(tag, "color=\"");
            // The character itself may be a raw "<" or ">": the cell ends at its </font>.
            const std::size_t end = code.find("</font>", at);
            if (!ink || end == std::string_view::npos)
                return { {}, "a <font> without colour or end" };
            for (const char32_t c : charactersOf(code.substr(at, end - at)))
                builder.add({ c, *ink, ground });
            at = end + std::string_view("</font>").size();
        }
    }
    return builder.finish();
}

namespace {

// The state of a terminal's colours as SGR sequences change it.
struct TerminalColours {
    std::uint32_t defaultInk, defaultGround;
    std::uint32_t ink = defaultInk, ground = defaultGround;
    bool inverse = false;

    void reset()
    {
        ink = defaultInk;
        ground = defaultGround;
        inverse = false;
    }
    TextCell cell(char32_t c) const
    {
        return inverse ? TextCell { c, ground, ink } : TextCell { c, ink, ground };
    }
};

std::vector<int> numbersOf(std::string_view parameters)
{
    std::vector<int> numbers { 0 };
    for (const char c : parameters) {
        if (c == ';' || c == ':')
            numbers.push_back(0);
        else if (c >= '0' && c <= '9')
            numbers.back() = numbers.back() * 10 + (c - '0');
    }
    return numbers;
}

// Applies one SGR sequence's parameters; false for a colour form this reader does not know.
bool applySgr(const std::vector<int>& numbers, TerminalColours& colours)
{
    constexpr int Reset = 0, Inverse = 7, NotInverse = 27, Ink = 38, DefaultInk = 39, Ground = 48,
                  DefaultGround = 49, TrueColour = 2;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const int n = numbers[i];
        if (n == Reset)
            colours.reset();
        else if (n == Inverse || n == NotInverse)
            colours.inverse = n == Inverse;
        else if (n == DefaultInk)
            colours.ink = colours.defaultInk;
        else if (n == DefaultGround)
            colours.ground = colours.defaultGround;
        else if (n == Ink || n == Ground) {
            if (i + 4 >= numbers.size() || numbers[i + 1] != TrueColour)
                return false;
            const std::uint32_t rgb
                = std::uint32_t(numbers[i + 2] << 16 | numbers[i + 3] << 8 | numbers[i + 4]);
            (n == Ink ? colours.ink : colours.ground) = rgb;
            i += 4;
        }
    }
    return true;
}

} // namespace

TextReading readAnsiText(
    std::string_view text, std::uint32_t defaultInk, std::uint32_t defaultGround)
{
    GridBuilder builder;
    TerminalColours colours { defaultInk, defaultGround };
    std::optional<TextCell> last;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '\n') {
            builder.endRow();
            ++at;
        } else if (text[at] == Escape && at + 1 < text.size() && text[at + 1] == '[') {
            std::size_t end = at + 2;
            while (end < text.size() && !(text[end] >= '@' && text[end] <= '~'))
                ++end;
            if (end == text.size())
                return { {}, "an unfinished control sequence" };
            const std::string_view parameters = text.substr(at + 2, end - at - 2);
            if (text[end] == 'm' && !applySgr(numbersOf(parameters), colours))
                return { {}, "a colour that is not 24-bit" };
            if (text[end] == 'b' && last)
                for (int i = numbersOf(parameters).front(); i > 0; --i)
                    builder.add(*last);
            at = end + 1;
        } else if (text[at] == '\r' || text[at] == Escape) {
            ++at;
        } else {
            last = colours.cell(nextCodePoint(text, at));
            builder.add(*last);
        }
    }
    return builder.finish();
}
