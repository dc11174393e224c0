#pragma once

#include "cli/clioptions.h"

#include "image/readingthreads.h"

#include <cstdio>

namespace mosaiq {

class CliPictures;
struct ConversionContext;

// Exit codes of mosaiq-cli.
enum CliExit : int {
    ExitOk = 0,
    ExitRefused = 2, // bad options, or the run's own start checks
    ExitPicture = 3, // the picture cannot be read
    ExitWrite = 4, // an output file cannot be written
    ExitMemory = 5, // the machine has not the memory for the codes asked for
    // Ctrl+C or a kill during a run: its temporary files are removed, then the signal ends the
    // program, so the caller sees the signal rather than this value.
    ExitInterrupted = 130,
};

// Converts the picture as the options say, read through pictures, streaming the page row by
// row to its file or to out; or, with an output folder, every picture into it (see runBatch).
// Messages go to err, in French. Returns a CliExit value. An output file asked for is either
// written whole or not left behind at all.
int runCli(const CliOptions& options, std::FILE* out, std::FILE* err, const CliPictures& pictures);

// Has context read pictures and paint pages through pictures, the reads taking threads.
void serveConversion(
    ConversionContext& context, const CliPictures& pictures, ReadingThreads threads);

} // namespace mosaiq
