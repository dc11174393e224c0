#pragma once

#include "convert/conversionrun.h"

namespace mosaiq {

// What the window and mosaiq-cli tell the user when a run is refused or ends early, in the
// program's own words (UTF-8). Empty for Passed and Written.
const char* startCheckMessage(StartCheck check);
const char* rowOutcomeMessage(RowOutcome outcome);

} // namespace mosaiq
