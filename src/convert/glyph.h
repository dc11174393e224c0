#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

// Where the cells' characters come from.
enum class GlyphSource : std::uint8_t { Random, Defined };

// The defined character that the window's interlock puts in place when square mode is chosen,
// and that mosaiq-cli and the page in the browser take in square mode alike.
inline constexpr char SquareModeCharacter = '8';

// The longest glyph in the page: a character reference up to U+10FFFF, "&#1114111;".
inline constexpr std::size_t MostPageGlyph = 10;

// One cell character, ready to copy: its UTF-8 bytes for the codes, and its text in the page,
// which is Windows-1252: the character's one byte, or, for a character that code page cannot
// hold ("♥", "─", an emoji), its decimal character reference ("&#9829;"), which every browser
// shows as the character itself where the byte would have to be "?".
struct Glyph {
    char utf8[4] = { '?', 0, 0, 0 };
    std::uint8_t utf8Length = 1;
    std::uint8_t pageLength = 1;
    char page[MostPageGlyph] = { '?' };

    bool isAscii() const { return utf8Length == 1 && static_cast<unsigned char>(utf8[0]) < 0x80; }
    std::string_view pageText() const { return { page, pageLength }; }
    // The character itself, for the previews that draw it.
    char32_t character() const;
};

// The glyph of code point c. A surrogate or a value beyond U+10FFFF is not a character: it
// becomes U+FFFD, in the codes and in the page.
Glyph glyphFor(char32_t c);

// The Windows-1252 byte of c, or '?' where that code page has none.
char windows1252(char32_t c);
// The character of Windows-1252 byte b; the bytes that code page leaves undefined are the C1
// controls of the same value, as the system's own conversion and browsers read them.
char32_t windows1252Character(std::uint8_t b);
// Every byte's, in order.
std::array<char32_t, 256> windows1252Characters();

// The code points of a UTF-8 text; each invalid byte becomes U+FFFD.
std::u32string decodeUtf8(std::string_view text);

// The glyphs of the defined characters, in order; one per code point.
std::vector<Glyph> glyphsFor(std::u32string_view text);

// The pinned pseudo-random generator of the random characters: a 24-bit linear
// congruential generator, so that the first run after every start draws the same page. Whoever
// runs conversions owns one and hands it to each run: a window's runs continue one sequence.
class RandomGlyphs {
public:
    // Values in [0, 1), in single precision: the same float arithmetic everywhere keeps the
    // random pages the same on every machine.
    float nextValue()
    {
        m_state = (m_state * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
        return float(m_state) / 16777216.0f;
    }

    // "@" or "A" to "Z": code r x 26 + 64 in single precision, to the nearest, ties to even.
    char next();

private:
    std::uint32_t m_state = 0x50000;
};

} // namespace mosaiq
