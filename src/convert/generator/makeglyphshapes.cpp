// Draws the glyphs of the shape sets with FreeType and writes the table of their coverages
// (convert/glyphshapes.h) as a C++ source. A build tool run on the build machine, for the native
// build and the browser's alike: the module cannot carry FreeType and a font, and the same
// numbers everywhere make every build choose the same characters.
//
// makeglyphshapes MONOSPACE FALLBACK OUTPUT
//
// MONOSPACE is DejaVu Sans Mono. It has no braille: a browser draws those from the system's
// fallback, on Debian DejaVu Sans (FALLBACK, of the same package and the same vertical measures),
// whose glyphs are drawn centred in the monospace cell, where their dots then lie.
#include "convert/glyphshapes.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_OUTLINE_H

#include <cmath>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

// Each sample is drawn as Oversampling x Oversampling pixels and averaged: FreeType's grey levels
// are the outline's exact area in each pixel, so the average is the sample's area to a pixel's
// precision, without the hinting that a tiny size would need.
constexpr int Oversampling = 8;
constexpr int Width = ShapeColumns * Oversampling;
constexpr int Height = ShapeRows * Oversampling;
constexpr int CellUnits = ShapeFontAscender + ShapeFontDescender;

struct Wanted {
    char32_t first, last;
    ShapeSet set;
    bool required; // the font must have every one
};

// Sextants are new in Unicode 13; an older DejaVu lacks them and the sets do without.
constexpr Wanted WantedRanges[] = {
    { 0x20, 0x7E, ShapeSet::Ascii, true },
    { 0x20, 0x20, ShapeSet::Blocks, true },
    { 0x2580, 0x259F, ShapeSet::Blocks, true },
    { 0x1FB00, 0x1FB3B, ShapeSet::Blocks, false },
    { 0x2800, 0x28FF, ShapeSet::Braille, true },
};

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "makeglyphshapes: %s\n", why.c_str());
    std::exit(1);
}

std::string hex(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(c));
    return text;
}

void checkMeasures(FT_Face face)
{
    if (face->units_per_EM != 2048 || face->ascender != ShapeFontAscender
        || -face->descender != ShapeFontDescender)
        fail("the font's measures are not those of convert/glyphshapes.h");
}

struct Fonts {
    FT_Face monospace, fallback;
    // The face that draws c, or nullptr when neither has it.
    FT_Face faceOf(char32_t c) const
    {
        if (FT_Get_Char_Index(monospace, c) != 0)
            return monospace;
        return FT_Get_Char_Index(fallback, c) != 0 ? fallback : nullptr;
    }
};

// The coverage of c's glyph over its cell, drawn from face.
void drawGlyph(
    FT_Library library, FT_Face face, char32_t c, std::array<std::uint8_t, ShapeSamples>& coverage)
{
    const FT_UInt index = FT_Get_Char_Index(face, c);
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
        fail("cannot load the glyph of " + hex(c));
    const FT_Pos advance = face->glyph->advance.x;
    if (FT_IS_FIXED_WIDTH(face) && advance != ShapeFontAdvance)
        fail("the glyph of " + hex(c) + " is not one cell wide");
    coverage.fill(0);
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE || face->glyph->outline.n_points == 0)
        return; // the space, the blank braille pattern

    // Font units to 26.6 pixels of the oversampled cell, its bottom left at the descender.
    FT_Outline& outline = face->glyph->outline;
    FT_Matrix scale;
    scale.xx = FT_Fixed(std::lround(65536.0 * 64.0 * Width / ShapeFontAdvance));
    scale.yy = FT_Fixed(std::lround(65536.0 * 64.0 * Height / CellUnits));
    scale.xy = scale.yx = 0;
    FT_Outline_Transform(&outline, &scale);
    FT_Outline_Translate(&outline,
        FT_Pos(std::lround(64.0 * (ShapeFontAdvance - advance) / 2 * Width / ShapeFontAdvance)),
        FT_Pos(std::lround(64.0 * ShapeFontDescender * Height / CellUnits)));

    std::vector<unsigned char> pixels(std::size_t(Width) * Height, 0);
    FT_Bitmap bitmap;
    FT_Bitmap_Init(&bitmap);
    bitmap.rows = Height;
    bitmap.width = Width;
    bitmap.pitch = Width; // rows from the top
    bitmap.buffer = pixels.data();
    bitmap.num_grays = 256;
    bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
    if (FT_Outline_Get_Bitmap(library, &outline, &bitmap))
        fail("cannot draw the glyph of " + hex(c));

    for (int row = 0; row < ShapeRows; ++row)
        for (int column = 0; column < ShapeColumns; ++column) {
            int sum = 0;
            for (int y = 0; y < Oversampling; ++y)
                for (int x = 0; x < Oversampling; ++x)
                    sum += pixels[std::size_t(row * Oversampling + y) * Width
                        + std::size_t(column * Oversampling + x)];
            const int area = Oversampling * Oversampling;
            coverage[std::size_t(row * ShapeColumns + column)]
                = std::uint8_t((sum + area / 2) / area);
        }
}

void writeTable(FT_Library library, const Fonts& fonts, std::ostream& out)
{
    // Each character once, with every set it belongs to.
    std::vector<std::pair<char32_t, std::uint8_t>> characters;
    for (const Wanted& range : WantedRanges)
        for (char32_t c = range.first; c <= range.last; ++c) {
            if (!fonts.faceOf(c)) {
                if (range.required)
                    fail("the fonts have no glyph for " + hex(c));
                continue;
            }
            bool known = false;
            for (auto& [character, sets] : characters)
                if (character == c) {
                    sets |= std::uint8_t(range.set);
                    known = true;
                }
            if (!known)
                characters.emplace_back(c, std::uint8_t(range.set));
        }

    out << "// Made by makeglyphshapes from " << fonts.monospace->family_name << " and "
        << fonts.fallback->family_name
        << "; do not edit.\n#include \"convert/glyphshapes.h\"\n\nnamespace mosaiq {\n\nnamespace "
           "{\n    const GlyphShape Shapes[] = {\n";
    std::array<std::uint8_t, ShapeSamples> coverage;
    for (const auto& [character, sets] : characters) {
        drawGlyph(library, fonts.faceOf(character), character, coverage);
        out << "        { 0x" << std::hex << unsigned(character) << std::dec << ", "
            << unsigned(sets) << ", {";
        for (std::size_t i = 0; i < coverage.size(); ++i)
            out << (i ? "," : " ") << unsigned(coverage[i]);
        out << " } },\n";
    }
    out << "    };\n\n    const std::array<float, 256> Linear = {\n";
    for (int value = 0; value < 256; ++value) {
        const double v = value / 255.0;
        const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        char text[32];
        std::snprintf(text, sizeof text, "%#.9gf,", double(float(linear)));
        out << (value % 8 ? " " : "        ") << text << (value % 8 == 7 ? "\n" : "");
    }
    out << "    };\n} // namespace\n\n"
           "std::span<const GlyphShape> glyphShapes() { return Shapes; }\n\n"
           "const std::array<float, 256>& srgbToLinear() { return Linear; }\n\n"
           "} // namespace mosaiq\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        fail("usage: makeglyphshapes MONOSPACE FALLBACK OUTPUT");
    FT_Library library;
    if (FT_Init_FreeType(&library))
        fail("cannot start FreeType");
    Fonts fonts {};
    for (FT_Face* face : { &fonts.monospace, &fonts.fallback }) {
        const char* path = argv[face == &fonts.monospace ? 1 : 2];
        if (FT_New_Face(library, path, 0, face))
            fail(std::string("cannot read the font ") + path);
        checkMeasures(*face);
    }
    if (!FT_IS_FIXED_WIDTH(fonts.monospace))
        fail(std::string(argv[1]) + " is not a monospace font");

    // Written whole once everything is drawn, so that a failure leaves no half table behind.
    std::ostringstream table;
    writeTable(library, fonts, table);
    std::ofstream out(argv[3], std::ios::binary);
    out << table.str();
    if (!out.flush())
        fail(std::string("cannot write ") + argv[3]);
    FT_Done_Face(fonts.monospace);
    FT_Done_Face(fonts.fallback);
    FT_Done_FreeType(library);
    return 0;
}
