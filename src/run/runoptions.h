#pragma once

#include "convert/colourtreatment.h"
#include "convert/colourvalue.h"
#include "convert/glyph.h"
#include "convert/htmldocument.h"
#include "convert/palette.h"
#include "convert/shapedrows.h"
#include "output/codes/forumdialect.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

// A run's options as mosaiq-cli and the page in the browser take them: the window's controls,
// then what only those two offer (forum codes, merged runs, size budgets, posts, palettes,
// figures). The defaults are the window's at start-up. Both read them through readRunOption's
// rules and refusals, and prepareRun makes the run of them, so that neither front end takes what
// the other refuses.
struct RunOptions {
    // The grid, as readGridSize writes it ("." before the decimals); none: the picture's size.
    std::optional<std::string> columns;
    std::optional<std::string> rows;
    ColourTreatment treatment = ColourTreatment::SourceColours;
    CellMode mode = CellMode::Letter;
    GlyphSource glyphSource = GlyphSource::Defined;
    std::string characters = "o"; // UTF-8
    bool charactersGiven = false; // --chars was read, which --random excludes
    StyleFlags style { false, false, true };
    ColourValue background = 0;

    std::string dialect = "blog"; // the bracket code written
    std::optional<double> mergeTolerance; // CIEDE2000, 0-100; none: no merged runs
    bool bestRuns = false; // the merged runs chosen for fewer and shorter tags
    std::optional<std::size_t> fitLimit; // the size budget of the code, in fitUnit
    bool fitPost = false; // --fit post: fitLimit is the dialect's post limit, in fitUnit
    LimitUnit fitUnit = LimitUnit::Characters;
    bool split = false; // the bracket code in posts of the dialect's limit too
    bool stats = false; // figures of the run
    // A palette: N colours chosen from the picture, or a GIMP palette's colours.
    std::optional<int> paletteCount;
    std::vector<ColourValue> paletteColours;
    Dither dither = Dither::None;
    // Each cell's character and two colours chosen by the shape of the picture, from this set;
    // none: one sample a cell.
    std::optional<ShapeSet> shapes;
    // The page a forum's reader sees behind the text, over which the codes that colour only the
    // text fit their ink; a light forum page by default.
    ColourValue readerBackground = makeColour(255, 255, 255);
    bool readerBackgroundGiven = false;
    // Every cell fitted as ink alone over readerBackground, in the page and the PNG too: they
    // then show what such a forum shows.
    bool foregroundOnly = false;
    // The cells whose pixels are mostly transparent show the page's background (see
    // TransparentCells); off, transparent pixels are read as drawn on white.
    bool transparentBackground = false;

    // Whether the bracket code is written from the cells rather than translated from the HTML
    // rows: always but for the documents' own blog code without merged runs.
    bool bracketFromCells() const;
};

// A whole number of at most digits digits, nothing else (no sign, no space); nullopt otherwise.
// The counts of the options read so: --fit's limit, --palette's colours, mosaiq-cli's --jobs.
std::optional<std::size_t> readCount(std::string_view text, std::size_t digits);

// How an option's value is written after its name.
enum class OptionValue {
    None, // a switch: "--bold"
    Required, // "--dialect phpbb" or "--dialect=phpbb"
    AttachedOnly, // optional, and then only as "--merge=10", "--merge 10" being ambiguous
};

// How the run option name ("--columns", or its French alias "--colonnes") takes its value; none
// when name is no run option.
std::optional<OptionValue> runOptionValue(std::string_view name);

// Reads the run option name (one runOptionValue knows) with its value, none for a switch or an
// attached-only option given bare, into options. A palette's value may name a GIMP palette file,
// which is read here. Returns the French refusal, empty when the value was taken.
std::string readRunOption(
    RunOptions& options, std::string_view name, std::optional<std::string_view> value);

// Once every option is read: refuses --random with --chars, takes square mode's glyphs
// (takeSquareModeGlyphs) and the dialect's post limit for --fit post. Returns the French
// refusal, or empty.
std::string completeRunOptions(RunOptions& options);

// The options that cannot go together, in French, the first found; empty when none. Those of a
// split (splitRefusal) apart, since mosaiq-cli refuses a split without its code first.
std::string runOptionsRefusal(const RunOptions& options);
std::string splitRefusal(const RunOptions& options);

} // namespace mosaiq
