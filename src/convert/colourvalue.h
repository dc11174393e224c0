#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

namespace mosaiq {

// A colour as the pictures and the window's controls pass it: red in bits 0-7, green in
// bits 8-15, blue in bits 16-23. -1 (all bits set) is the colour of a point outside the picture.
using ColourValue = std::int32_t;

inline constexpr ColourValue InvalidColour = -1;

// Builds a colour from parts 0-255.
constexpr ColourValue makeColour(int red, int green, int blue)
{
    return red + 256 * green + 65536 * blue;
}

// Splits Color into its red, green and blue bytes (0-255 each); -1 gives 255, 255, 255.
void GetRgb(ColourValue Color, std::int16_t& Red, std::int16_t& Green, std::int16_t& Blue);

// The "#RRGGBB" text of lngColour, upper-case digits. Values outside 0-16777215 are written
// from the 7 or 8 hexadecimal digits of their 32-bit form, taken at the same positions, so -1
// gives "#FFFFFF" and 0x80000008 gives "#080080".
std::string DectoWebCol(const ColourValue& lngColour);

namespace webdigits {
    // Two upper-case digits per byte value, so that a colour needs three lookups.
    constexpr std::array<char, 512> makeHexPairs()
    {
        constexpr char HexDigits[] = "0123456789ABCDEF";
        std::array<char, 512> table {};
        for (int i = 0; i < 256; ++i) {
            table[2 * i] = HexDigits[i >> 4];
            table[2 * i + 1] = HexDigits[i & 15];
        }
        return table;
    }

    inline constexpr std::array<char, 512> HexPairs = makeHexPairs();
} // namespace webdigits

// The six digits RRGGBB of writeWebDigits() as the first six bytes of a word in memory order:
// copied from a register, a cell's colour is never read back from where it was just written.
inline std::uint64_t webDigitsWord(ColourValue colour)
{
    const auto bits = static_cast<std::uint32_t>(colour);
    const char* red = &webdigits::HexPairs[2 * (bits & 0xFF)];
    const char* green = &webdigits::HexPairs[2 * ((bits >> 8) & 0xFF)];
    const char* blue = &webdigits::HexPairs[2 * ((bits >> 16) & 0xFF)];
    if constexpr (std::endian::native == std::endian::little) {
        std::uint16_t r, g, b;
        std::memcpy(&r, red, 2);
        std::memcpy(&g, green, 2);
        std::memcpy(&b, blue, 2);
        return r | std::uint64_t(g) << 16 | std::uint64_t(b) << 32;
    } else {
        const char digits[8] = { red[0], red[1], green[0], green[1], blue[0], blue[1], 0, 0 };
        std::uint64_t word;
        std::memcpy(&word, digits, 8);
        return word;
    }
}

// Hot-loop form of DectoWebCol for colours 0-16777215 and -1: writes the six digits RRGGBB
// at out, without the "#". Any other value is masked to its low 24 bits. Inline: a page calls
// it once a cell.
inline void writeWebDigits(char* out, ColourValue colour)
{
    const std::uint64_t digits = webDigitsWord(colour);
    std::memcpy(out, &digits, 6);
}

} // namespace mosaiq
