#pragma once

#include "cli/clioptions.h"
#include "cli/loadedpicture.h"
#include "convert/glyph.h"
#include "output/png/pageimage.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace mosaiq {

class PageRecord;

// Where one picture's outputs go.
struct PictureOutputs {
    std::string page; // "-": the page stream; empty: not written
    std::string htmlCode; // empty: not written
    std::string blogCode; // empty: not written; the parts of --split go beside it
    std::string png; // empty: not written; the page as the preview shows it, at options.scale
};

// What a conversion uses from whoever runs it: mosaiq-cli for one picture, or a batch job.
struct ConversionContext {
    std::FILE* pageStream = nullptr; // the page when it has no file
    // The page written on a thread of its own while the rows are made: for one picture at a
    // time, not for a batch that keeps every core busy already.
    bool pageInBackground = false;
    std::function<void(const std::string&)> say; // one French message, no line end
    std::function<LoadedPicture(const std::string&)> readPicture;
    // The page of a finished run as a picture, at a scale; null when it cannot be painted, the
    // message then said.
    std::function<std::unique_ptr<PageImage>(std::shared_ptr<const PageRecord>, int)> paintPage;
    unsigned pngThreads = 0; // the threads that compress a PNG; 0: every core
};

// Converts picture as options say into outputs. random is the generator of the run's random
// glyphs as it stands at the start: a fresh one gives the window's first run after a start.
// Searching a grid for --fit draws only from copies of it. Every output file asked for is
// written whole or not at all; a page on a stream may be cut short. Returns a CliExit value.
int convertPicture(const CliOptions& options, const std::string& picture,
    const PictureOutputs& outputs, RandomGlyphs& random, const ConversionContext& context);

} // namespace mosaiq
