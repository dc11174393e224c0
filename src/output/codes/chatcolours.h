#pragma once

#include "convert/colourvalue.h"

#include <span>

namespace mosaiq {

// The colours chat platforms show for their colour codes, and the code whose colour is nearest
// a cell's in CIEDE2000.
//
// Discord's ```ansi blocks show the eight foreground colours SGR 30 to 37 in its own shades (as
// its users' guides give them: not in Discord's own documentation, which does not list them).
// IRC clients show the 99 colours of mIRC's codes 00 to 98: 00 to 15 as mIRC and HexChat show
// them, 16 to 98 as the IRC formatting reference (modern.ircdocs.horse) lists them.
std::span<const ColourValue> discordColours(); // SGR 30 + index
std::span<const ColourValue> ircColours(); // code = index

// The index of the colour of colours nearest to colour.
int nearestIndex(std::span<const ColourValue> colours, ColourValue colour);

} // namespace mosaiq
