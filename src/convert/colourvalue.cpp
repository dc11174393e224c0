#include "convert/colourvalue.h"

#include <cmath>

namespace mosaiq {

namespace {

    constexpr char HexDigits[] = "0123456789ABCDEF";

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

} // namespace mosaiq
