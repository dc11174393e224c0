#pragma once

#include "convert/conversionrun.h"

namespace mosaiq {

// What the window and mosaiq-cli tell the user when a run is refused or ends early, in the
// program's own words (UTF-8). Empty for Passed and Written.
const char* startCheckMessage(StartCheck check);
const char* rowOutcomeMessage(RowOutcome outcome);

// A run of mosaiq-cli or of the page in the browser that memory could not hold.
inline constexpr const char* NotEnoughMemory = "Mémoire insuffisante : réduisez les dimensions.";

} // namespace mosaiq
