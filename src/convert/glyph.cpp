#include "convert/glyph.h"

#include <cmath>

namespace mosaiq {

namespace {

    // Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined map to the C1
    // controls of the same value, as the system's own conversion does.
    constexpr char32_t High1252[32] = {
        0x20AC,
        0x0081,
        0x201A,
        0x0192,
        0x201E,
        0x2026,
        0x2020,
        0x2021, //
        0x02C6,
        0x2030,
        0x0160,
        0x2039,
        0x0152,
        0x008D,
        0x017D,
        0x008F, //
        0x0090,
        0x2018,
        0x2019,
        0x201C,
        0x201D,
        0x2022,
        0x2013,
        0x2014, //
        0x02DC,
        0x2122,
        0x0161,
        0x203A,
        0x0153,
        0x009D,
        0x017E,
        0x0178,
    };

    bool isCharacter(char32_t c)
    {
        return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    }

} // namespace

char windows1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (High1252[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

char32_t windows1252Character(std::uint8_t b)
{
    return b >= 0x80 && b < 0xA0 ? High1252[b - 0x80] : char32_t(b);
}

std::array<char32_t, 256> windows1252Characters()
{
    std::array<char32_t, 256> characters;
    for (int b = 0; b < 256; ++b)
        characters[std::size_t(b)] = windows1252Character(std::uint8_t(b));
    return characters;
}

Glyph glyphFor(char32_t c)
{
    Glyph glyph;
    if (!isCharacter(c))
        c = 0xFFFD;
    const char byte = windows1252(c);
    if (byte != '?' || c == U'?') {
        glyph.page[0] = byte;
    } else {
        // "&#" and the code point's decimal digits, then ";".
        char digits[8];
        int count = 0;
        for (char32_t rest = c; rest > 0; rest /= 10)
            digits[count++] = char('0' + rest % 10);
        char* out = glyph.page;
        *out++ = '&';
        *out++ = '#';
        while (count > 0)
            *out++ = digits[--count];
        *out++ = ';';
        glyph.pageLength = std::uint8_t(out - glyph.page);
    }
    auto* out = glyph.utf8;
    if (c < 0x80) {
        out[0] = char(c);
        glyph.utf8Length = 1;
    } else if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        glyph.utf8Length = 2;
    } else if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        glyph.utf8Length = 3;
    } else {
        out[0] = char(0xF0 | (c >> 18));
        out[1] = char(0x80 | ((c >> 12) & 0x3F));
        out[2] = char(0x80 | ((c >> 6) & 0x3F));
        out[3] = char(0x80 | (c & 0x3F));
        glyph.utf8Length = 4;
    }
    return glyph;
}

char32_t Glyph::character() const
{
    const auto lead = static_cast<unsigned char>(utf8[0]);
    if (utf8Length == 1)
        return lead;
    char32_t c = lead & (0x7F >> utf8Length);
    for (int k = 1; k < utf8Length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(utf8[k]) & 0x3F);
    return c;
}

std::u32string decodeUtf8(std::string_view text)
{
    std::u32string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80           ? 1
            : lead >= 0xF0 && lead <= 0xF4 ? 4
            : lead >= 0xE0                 ? 3
            : lead >= 0xC2                 ? 2
                                           : 0;
        if (lead >= 0xF5)
            length = 0;
        char32_t c = length == 1 ? lead
            : length == 2        ? lead & 0x1F
            : length == 3        ? lead & 0x0F
                                 : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms and encoded surrogates are as invalid as stray bytes.
        if (valid
            && ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF))
                || (c >= 0xD800 && c <= 0xDFFF)))
            valid = false;
        if (valid) {
            result.push_back(c);
            i += length;
        } else {
            result.push_back(0xFFFD);
            ++i;
        }
    }
    return result;
}

std::vector<Glyph> glyphsFor(std::u32string_view text)
{
    std::vector<Glyph> glyphs;
    glyphs.reserve(text.size());
    for (char32_t c : text)
        glyphs.push_back(glyphFor(c));
    return glyphs;
}

char RandomGlyphs::next()
{
    const float code = nextValue() * 26.0f + 64.0f;
    return static_cast<char>(std::nearbyint(code));
}

} // namespace mosaiq
