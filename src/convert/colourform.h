#pragma once

#include "convert/colourvalue.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace mosaiq {

// What a destination's colour tags read besides #RRGGBB, one tag after another. All are off for
// the documents' codes, which always write six digits in tags side by side.
struct ColourForms {
    bool shortHex = false; // #RGB, each digit doubled (#F80 is #FF8800)
    bool names = false; // the sixteen colour names of HTML 4, where shorter than #RRGGBB
    // Colour tags inside colour tags: a run may take back the colour of a tag still open around
    // it rather than open one of its own (see TagLayers).
    bool nestedTags = false;
};

struct NamedColour {
    std::string_view name;
    ColourValue colour;
};

// The named colours worth writing: those whose name is shorter than "#RRGGBB".
std::span<const NamedColour> namedColours();

// The name of colour among namedColours(), or empty.
std::string_view colourName(ColourValue colour);

// Whether colour is written #RGB: each of its bytes a multiple of 0x11.
bool hasShortHex(ColourValue colour);

// The #RGB colour nearest to colour, channel by channel.
ColourValue nearestShortHex(ColourValue colour);

// The shortest text of colour that forms allow, "#" included, written to out (7 bytes at most);
// its length.
std::size_t writeColourText(char* out, ColourValue colour, ColourForms forms);

// Its length alone.
std::size_t colourTextLength(ColourValue colour, ColourForms forms);

} // namespace mosaiq
