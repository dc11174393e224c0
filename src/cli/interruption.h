#pragma once

namespace mosaiq {

// Ctrl+C, a hang-up or a kill while output files are being written: the run ends at its next
// row and removes its temporary files, then the program ends as the signal would have ended it.
// While no output is being written the signal ends the program at once.

// Installs the handlers; once, from main.
void catchInterruptions();

// Marks the stretch in which temporary output files exist (nestable, from any thread).
class WritingOutputs {
public:
    WritingOutputs();
    ~WritingOutputs();
    WritingOutputs(const WritingOutputs&) = delete;
    WritingOutputs& operator=(const WritingOutputs&) = delete;
};

// Whether a signal asked the program to end.
bool interrupted();

// Ends the program as the signal caught would have, once the temporary files are gone. Returns
// only when none was caught.
void endIfInterrupted();

} // namespace mosaiq
