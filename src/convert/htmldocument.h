#pragma once

#include "convert/colourvalue.h"

#include <string>
#include <string_view>

namespace mosaiq {

// Whether each cell is a coloured character or a solid block of colour.
enum class CellMode : std::uint8_t { Letter, Square };

struct StyleFlags {
    bool bold = false;
    bool italic = false;
    bool centred = false;
};

// The fixed texts of the page. Saved pages and blog articles carry them byte for byte, odd
// letter case included, so they are not to be tidied.
namespace html {
    inline constexpr std::string_view PageHeadStart
        = "<HTML><HEAD><Title>apercu</title></HEAD><Body bgcolor=\"";
    inline constexpr std::string_view PageHeadEnd
        = "\" style=\"font-family: Verdana; font-size: 7.5pt\">";
    inline constexpr std::string_view PageTail = "<br></FONT></BODY></HTML>";
    inline constexpr std::string_view RowEnd = "<br>";
    // The pieces of a cell, for merged runs: "#RRGGBB" follows an opening.
    inline constexpr std::string_view LetterOpen = "<font color=\"";
    inline constexpr std::string_view SpanOpen = "<span style=\"background-color: ";
    inline constexpr std::string_view AttributeEnd = "\">";
    inline constexpr std::string_view FontClose = "</font>";
    inline constexpr std::string_view SpanClose = "</span>";
    inline constexpr std::string_view ShapesHeadStart
        = "<HTML><HEAD><Title>apercu</title><style>span{display:inline-block;width:0.6021em;"
          "vertical-align:top}</style></HEAD><Body bgcolor=\"";
    inline constexpr std::string_view ShapesHeadEnd
        = "\" style=\"font-family: 'DejaVu Sans Mono', 'Bitstream Vera Sans Mono', monospace; "
          "font-size: 10px; line-height: 1.1641\">";
    // The cell that header gives a page of shapes, as the painting of --png takes it: 10 pixels
    // to the em, a cell 0.6021 em wide and a line 1.1641 em high (the font's advance, and its
    // ascender and descender, over its 2048 units), the baseline an ascender below the top.
    inline constexpr double ShapesFontPixels = 10;
    inline constexpr double ShapesCellEms = 0.6021;
    inline constexpr double ShapesLineEms = 1.1641;
    inline constexpr std::size_t LetterCellLength = 30; // with a one-byte glyph
    inline constexpr std::size_t SquareCellLength = 77;
} // namespace html

// The first line of the page: its head with the background colour, then "<b>", "<i>" and
// "<center>" for the styles chosen, in that order. No line end.
std::string headerLine(ColourValue background, const StyleFlags& style);

// The first line of a page whose cells are chosen by shape: the same, but in a monospace font,
// DejaVu Sans Mono first (the font the shapes were drawn from), every cell as wide as its
// advance whatever font draws the glyph (DejaVu Sans's braille is wider), and lines as high as
// its ascender and descender, so that the cells' backgrounds tile the page as the glyphs were
// measured.
std::string shapesHeaderLine(ColourValue background, const StyleFlags& style);

// The last line of the page: "</b>", "</i>", "</center>" for the styles chosen (same order as
// the openers), then the page tail. No line end.
std::string trailerLine(const StyleFlags& style);

} // namespace mosaiq
