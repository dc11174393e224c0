#include "run/runchoices.h"

namespace mosaiq {

void takeSquareModeGlyphs(CellMode mode, GlyphSource& source, std::string& characters)
{
    if (mode != CellMode::Square)
        return;
    source = GlyphSource::Defined;
    characters.assign(1, SquareModeCharacter);
}

bool bracketCodeFromCells(std::string_view dialect, bool merged)
{
    return dialect != "blog" || merged;
}

} // namespace mosaiq
