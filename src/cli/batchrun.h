#pragma once

#include "cli/clioptions.h"

#include <cstdio>
#include <string>
#include <vector>

namespace mosaiq {

class CliPictures;

// One picture of a batch and the names of its outputs.
struct BatchJob {
    std::string picture;
    std::string outputBase; // the output folder's path and the picture's output name
    bool duplicate = false; // the same file as an earlier picture: not converted again
};

// The jobs of a batch, in the order given. Outputs are named after the picture's file name,
// extension kept ("photo.jpg" gives photo.jpg.html...): a name that an earlier picture took
// (the same name in another folder) gets -2, -3... before its extension. The same file given
// twice, under any path, is converted once.
std::vector<BatchJob> planBatch(const std::vector<std::string>& pictures, const std::string& dir);

// The output files of a job: NAME.html, NAME.html-code.txt, NAME.blog-code.txt (its posts
// beside it as NAME.blog-code.txt.1, .2...), NAME.png.
std::string pagePathOf(const BatchJob& job);
std::string htmlCodePathOf(const BatchJob& job);
std::string blogCodePathOf(const BatchJob& job);
std::string pngPathOf(const BatchJob& job);

// Converts every picture of options into options.outputDir, options.jobs at a time, each exactly
// as a single call would (its own fresh random generator), reading through pictures. Bad pictures
// are reported and skipped; a progress line shows on a terminal, a summary at the end. Returns the
// CliExit of the first picture that failed, in the order given, or ExitOk.
int runBatch(const CliOptions& options, std::FILE* err, const CliPictures& pictures);

} // namespace mosaiq
