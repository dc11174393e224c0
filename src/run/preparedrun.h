#pragma once

#include "convert/conversionrun.h"
#include "output/codes/forumdialect.h"
#include "run/runoptions.h"

#include <memory>
#include <string>
#include <string_view>

namespace mosaiq {

// What a run is prepared from besides its options: the picture.
struct PictureFacts {
    std::string_view path; // the picture as the start checks name it; empty: there is none
    PixelBuffer pixels; // the picture read: its width and height are the sizes not given
};

// A run ready for RowLoop, or why it may not start.
struct PreparedRun {
    std::string refusal; // French; empty when the run may start
    std::string message; // French, to show even so: the grid a size budget chose
    const ForumDialect* dialect = nullptr; // the bracket code's, once the options are taken
    RunStart start;
    RowInput input; // its characters are those below, which it views
    std::shared_ptr<const std::u32string> characters;
    std::string columns; // the grid, as size fields hold it
    std::string rows;
};

// The start checks before the picture is read (mosaiq-cli's, so that a bad option costs no
// decoding): the sizes not given stand at 1, and a grid too large waits for the picture's own
// sizes. The French refusal, or empty.
std::string checkBeforePicture(const RunOptions& options, std::string_view picturePath);

// Prepares the run of options on picture, in the window's order: the options that cannot go
// together (runOptionsRefusal, splitRefusal), the start checks (picture, sizes, characters, the
// grid's size), the palette (a count is chosen from the pixels: they must all be there), then
// the grid a size budget chooses, measured with copies of random, the generator as the run will
// start from it, on the bracket code when budgetsBlogCode, else on the HTML code; the chosen grid
// is checked again. A budget too small is a refusal that names the smallest grid.
PreparedRun prepareRun(const RunOptions& options, const PictureFacts& picture,
    const RandomGlyphs& random, bool budgetsBlogCode = true);

} // namespace mosaiq
