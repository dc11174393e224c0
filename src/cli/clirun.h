#pragma once

#include "cli/clioptions.h"

#include <cstdio>

namespace mosaiq {

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

// Converts the picture as the options say, streaming the page row by row to its file or to
// out; or, with an output folder, every picture into it (see runBatch). Messages go to err, in
// French. Returns a CliExit value. An output file asked for is either written whole or not left
// behind at all.
int runCli(const CliOptions& options, std::FILE* out, std::FILE* err);

} // namespace mosaiq
