#pragma once

#include "convert/colourdifference.h"
#include "convert/colourvalue.h"
#include "convert/pixelbuffer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mosaiq {

// How cell colours are spread over a palette's colours.
enum class Dither : std::uint8_t {
    None, // each cell takes the palette colour nearest its own
    Ordered, // a 4 x 4 Bayer threshold added to each cell first
    Diffusion, // Floyd-Steinberg: what a cell loses goes to its right and lower neighbours
};

// Why a GIMP palette was refused; Read when it was not.
enum class PaletteFileError : std::uint8_t { Read, Empty, NotGimp, OutOfRange, TooMany };

struct PaletteFile {
    std::vector<ColourValue> colours;
    PaletteFileError error = PaletteFileError::Read;
    std::size_t line = 0; // where a colour was refused, from 1
};

// The colours of a GIMP palette (.gpl): "GIMP Palette", then optional "Name:" and "Columns:"
// lines, comments (#) and blank lines, and one "R G B [name]" line per colour, each 0 to 255;
// at most 256 colours.
PaletteFile readGimpPalette(std::string_view text);

// N colours chosen from a picture's own: all of them when it has no more than N, else the
// centres of N clusters in L*a*b* (k-means from a seeded k-means++ start, over an even sample
// of the pixels), each moved to the nearest colour of the picture. The same pixels give the same
// colours on every run and machine.
std::vector<ColourValue> choosePalette(const PixelBuffer& picture, int count);

// Cell colours mapped to a palette before they are written: the nearest colour in L*a*b*.
class PaletteMapper {
public:
    PaletteMapper(std::vector<ColourValue> colours, Dither dither);

    // Maps one row of the grid, the rows in order (row counts from 0).
    void mapRow(std::span<ColourValue> colours, std::int64_t row);

    ColourValue nearest(ColourValue colour);

private:
    ColourValue nearestLab(const LabColour& lab);

    std::vector<ColourValue> m_colours;
    std::vector<LabColour> m_labs;
    Dither m_dither;
    std::unordered_map<ColourValue, ColourValue> m_known;
    // Diffusion: the error carried into this row and the next, per cell and channel (RGB).
    std::vector<float> m_thisRow, m_nextRow;
};

} // namespace mosaiq
