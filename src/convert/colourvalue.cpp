#include "convert/colourvalue.h"

#include <array>
#include <cmath>

namespace mosaiq {

namespace {

    constexpr char HexDigits[] = "0123456789ABCDEF";

    // Two upper-case digits per byte value, so that a colour needs three lookups.
    constexpr std::array<char, 512> makeHexPairs()
    {
        std::array<char, 512> table {};
        for (int i = 0; i < 256; ++i) {
            table[2 * i] = HexDigits[i >> 4];
            table[2 * i + 1] = HexDigits[i & 15];
        }
        return table;
    }

    constexpr std::array<char, 512> HexPairs = makeHexPairs();

} // namespace

void GetRgb(ColourValue Color, std::int16_t& Red, std::int16_t& Green, std::int16_t& Blue)
{
    // Floor division in double precision is an arithmetic shift for every 32-bit value.
    Red = static_cast<std::int16_t>(Color & 255);
    Green = static_cast<std::int16_t>(static_cast<std::int64_t>(std::floor(Color / 256.0)) & 255);
    Blue = static_cast<std::int16_t>(static_cast<std::int64_t>(std::floor(Color / 65536.0)) & 255);
}

std::string DectoWebCol(const ColourValue& lngColour)
{
    // Hexadecimal without leading zeros, negative values in 32-bit two's complement.
    std::uint32_t bits = static_cast<std::uint32_t>(lngColour);
    std::string hex;
    do {
        hex.insert(hex.begin(), HexDigits[bits & 15]);
        bits >>= 4;
    } while (bits != 0);
    while (hex.size() < 6)
        hex.insert(hex.begin(), '0');
    std::string web = "#";
    web += hex.substr(hex.size() - 2, 2);
    web += hex.substr(2, 2);
    web += hex.substr(0, 2);
    return web;
}

void writeWebDigits(char* out, ColourValue colour)
{
    const auto bits = static_cast<std::uint32_t>(colour);
    const char* red = &HexPairs[2 * (bits & 0xFF)];
    const char* green = &HexPairs[2 * ((bits >> 8) & 0xFF)];
    const char* blue = &HexPairs[2 * ((bits >> 16) & 0xFF)];
    out[0] = red[0];
    out[1] = red[1];
    out[2] = green[0];
    out[3] = green[1];
    out[4] = blue[0];
    out[5] = blue[1];
}

} // namespace mosaiq
