#pragma once

#include <cstdint>
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

// Hot-loop form of DectoWebCol for colours 0-16777215 and -1: writes the six digits RRGGBB
// at out, without the "#". Any other value is masked to its low 24 bits.
void writeWebDigits(char* out, ColourValue colour);

} // namespace mosaiq
