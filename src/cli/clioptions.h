#pragma once

#include "run/runoptions.h"

#include <string>
#include <vector>

namespace mosaiq {

// What the command line asks for: a run's options (the window's defaults at start-up), and the
// pictures and the outputs they go to.
struct CliOptions : RunOptions {
    std::vector<std::string> pictures; // one, unless outputDir is given
    // "-": the standard output, where the page goes unless -o names a file, another output
    // takes it, or the standard output is a terminal and another output is named; empty: not
    // written.
    std::string pagePath;
    std::string htmlCodePath;
    std::string blogCodePath;
    bool help = false;
    bool version = false;

    // The page as a picture, as the preview shows it: to pngPath, or in a batch to each
    // picture's NAME.png.
    bool png = false;
    std::string pngPath;
    int scale = 1; // device pixels per CSS pixel: 1 or 2

    // Many pictures at once: outputs named after the pictures in outputDir.
    std::string outputDir;
    int jobs = 1;

    bool batch() const { return !outputDir.empty(); }
};

struct CliParse {
    CliOptions options;
    std::string error; // French; empty when the line was understood
};

// Reads the arguments after the program name; standardOutputIsTerminal says where the page
// goes by default.
CliParse parseCliOptions(
    const std::vector<std::string>& arguments, bool standardOutputIsTerminal = false);

} // namespace mosaiq
