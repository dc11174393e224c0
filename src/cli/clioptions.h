#pragma once

#include "convert/colourtreatment.h"
#include "convert/colourvalue.h"
#include "convert/glyph.h"
#include "convert/htmldocument.h"
#include "convert/palette.h"
#include "output/codes/forumdialect.h"
#include "run/runchoices.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace mosaiq {

// What the command line asks for. The defaults are the window's at start-up.
struct CliOptions {
    std::vector<std::string> pictures; // one, unless outputDir is given
    std::optional<std::string> columns; // default: the picture's width
    std::optional<std::string> rows; // default: the picture's height
    ColourTreatment treatment = ColourTreatment::SourceColours;
    CellMode mode = CellMode::Letter;
    GlyphSource glyphSource = GlyphSource::Defined;
    std::string characters = "o"; // UTF-8
    StyleFlags style { false, false, true };
    ColourValue background = 0;
    // "-": the standard output, where the page goes unless -o names a file, another output
    // takes it, or the standard output is a terminal and another output is named; empty: not
    // written.
    std::string pagePath;
    std::string htmlCodePath;
    std::string blogCodePath;
    bool help = false;
    bool version = false;

    // Forum codes and size budgets: mosaiq-cli only, the window never writes them.
    std::string dialect = "blog"; // the bracket code --blog-code writes
    std::optional<double> mergeTolerance; // CIEDE2000, 0-100; none: no merged runs
    bool bestRuns = false; // the merged runs chosen for fewer and shorter tags
    std::optional<std::size_t> fitLimit; // characters of the chosen code (bytes for fitUnit)
    bool fitPost = false; // --fit post: fitLimit is the dialect's post limit, in fitUnit
    LimitUnit fitUnit = LimitUnit::Characters;
    bool split = false; // the bracket code in posts of the dialect's limit too
    bool stats = false; // figures of the run on standard error
    // A palette: N colours chosen from the picture, or a GIMP palette's colours.
    std::optional<int> paletteCount;
    std::vector<ColourValue> paletteColours;
    Dither dither = Dither::None;

    // The page as a picture, as the preview shows it: to pngPath, or in a batch to each
    // picture's NAME.png.
    bool png = false;
    std::string pngPath;
    int scale = 1; // device pixels per CSS pixel: 1 or 2

    // Many pictures at once: outputs named after the pictures in outputDir.
    std::string outputDir;
    int jobs = 1;

    bool batch() const { return !outputDir.empty(); }
    // Whether the bracket code is written from the cells rather than translated from the HTML
    // rows: always but for the documents' own blog code without merged runs.
    bool bracketFromCells() const
    {
        return bracketCodeFromCells(dialect, mergeTolerance.has_value());
    }
};

struct CliParse {
    CliOptions options;
    std::string error; // French; empty when the line was understood
};

// Reads the arguments after the program name; standardOutputIsTerminal says where the page
// goes by default.
CliParse parseCliOptions(
    const std::vector<std::string>& arguments, bool standardOutputIsTerminal = false);

// A tolerance of --merge: a decimal number from 0 to 100 ("," or "." before the decimals).
std::optional<double> parseTolerance(const std::string& text);

// "#RRGGBB" or "RRGGBB" as a ColourValue; nullopt for anything else.
std::optional<ColourValue> parseWebColour(const std::string& text);

} // namespace mosaiq
