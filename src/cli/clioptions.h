#pragma once

#include "convert/colourtreatment.h"
#include "convert/colourvalue.h"
#include "convert/glyph.h"
#include "convert/htmldocument.h"

#include <optional>
#include <string>
#include <vector>

namespace mosaiq {

// What the command line asks for. The defaults are the window's at start-up.
struct CliOptions {
    std::string picture;
    std::optional<std::string> columns; // default: the picture's width
    std::optional<std::string> rows; // default: the picture's height
    ColourTreatment treatment = ColourTreatment::SourceColours;
    CellMode mode = CellMode::Letter;
    GlyphSource glyphSource = GlyphSource::Defined;
    std::string characters = "o"; // UTF-8
    StyleFlags style { false, false, true };
    ColourValue background = 0;
    std::string pagePath; // empty or "-": standard output
    std::string htmlCodePath;
    std::string blogCodePath;
    bool help = false;
    bool version = false;
};

struct CliParse {
    CliOptions options;
    std::string error; // French; empty when the line was understood
};

// Reads the arguments after the program name.
CliParse parseCliOptions(const std::vector<std::string>& arguments);

// "#RRGGBB" or "RRGGBB" as a ColourValue; nullopt for anything else.
std::optional<ColourValue> parseWebColour(const std::string& text);

} // namespace mosaiq
