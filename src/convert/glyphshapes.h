#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace mosaiq {

// The shapes of the characters that a cell may take when it is chosen by the picture's shape:
// DejaVu Sans Mono (Debian's fonts-dejavu-core), drawn once at build time by
// src/convert/generator/makeglyphshapes.cpp with FreeType into a table compiled in, so that every
// machine and the browser's module choose the same characters from the same numbers.

// Each glyph is known as its coverage of its cell on a grid of ShapeColumns x ShapeRows samples,
// row by row from the top. 8 x 16 keeps the smallest shapes apart (a braille dot is about one
// sample wide and two high, a block edge falls between samples) and the samples nearly square
// (the cell is 0.517 times as wide as high), while a candidate's exact fit stays a few hundred
// products.
inline constexpr int ShapeColumns = 8;
inline constexpr int ShapeRows = 16;
inline constexpr int ShapeSamples = ShapeColumns * ShapeRows;

// The font's measures in its units, which the generator checks against the font it draws: a cell
// is one advance wide and runs from the ascender down to the descender, where the full block
// U+2588 ends.
inline constexpr int ShapeFontAdvance = 1233;
inline constexpr int ShapeFontAscender = 1901;
inline constexpr int ShapeFontDescender = 483; // below the baseline
// The cell's width over its height, unhinted, as the glyphs were drawn: 0.5172. A browser that
// rounds the line to whole pixels makes it a little wider at small sizes (0.547 at 10 pixels).
inline constexpr double ShapeFontCellAspect
    = double(ShapeFontAdvance) / double(ShapeFontAscender + ShapeFontDescender);

// Which sets a glyph belongs to, as bits; a set of several is their union.
enum class ShapeSet : std::uint8_t {
    Ascii = 1, // the printable ASCII characters, space included
    Blocks = 2, // the space and the block elements U+2580-U+259F (halves, eighths, quadrants,
                // shades, full block), with the sextants U+1FB00-U+1FB3B where the font has them
    Braille = 4, // the 256 dot patterns U+2800-U+28FF
    All = 7,
};

constexpr bool inSet(std::uint8_t sets, ShapeSet set)
{
    return (sets & std::uint8_t(set)) != 0;
}

struct GlyphShape {
    char32_t character;
    std::uint8_t sets; // ShapeSet bits
    // How much of each sample the glyph's ink covers, 0 (none) to 255 (all), row by row.
    std::array<std::uint8_t, ShapeSamples> coverage;
};

// Every glyph of the table, in code point order.
std::span<const GlyphShape> glyphShapes();

// The linear light of each 8-bit sRGB value, 0 to 1, made with the same table on the build
// machine for every build rather than by each runtime's own power function.
const std::array<float, 256>& srgbToLinear();

} // namespace mosaiq
