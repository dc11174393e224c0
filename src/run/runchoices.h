#pragma once

#include "convert/glyph.h"
#include "convert/htmldocument.h"

#include <string>
#include <string_view>

namespace mosaiq {

// What mosaiq-cli and the page in the browser make of a run's options where the window's
// interlocks or its blog code decide it, so that the two front ends cannot part from the window
// or from each other.

// In square mode, the glyph source becomes the defined characters, and they become "8"
// (SquareModeCharacter).
void takeSquareModeGlyphs(CellMode mode, GlyphSource& source, std::string& characters);

// Whether the bracket code is written from the cells (a forum's dialect, or runs of merged
// cells) rather than translated from the HTML rows as the window writes its blog code.
bool bracketCodeFromCells(std::string_view dialect, bool merged);

} // namespace mosaiq
