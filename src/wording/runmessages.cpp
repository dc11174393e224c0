#include "wording/runmessages.h"

namespace mosaiq {

const char* startCheckMessage(StartCheck check)
{
    switch (check) {
    case StartCheck::Passed:
        return "";
    case StartCheck::NoPicture:
        return "Veuillez charger une image...";
    case StartCheck::InvalidDimensions:
        return "Dimensions invalides";
    case StartCheck::NoDefinedCharacters:
        return "Définissez un caractères pour l'ASCII...";
    case StartCheck::TooLarge:
        return "Dimensions trop grandes";
    }
    return "";
}

const char* rowOutcomeMessage(RowOutcome outcome)
{
    // A field the user spoilt during a run is told as the start check would have told it.
    switch (outcome) {
    case RowOutcome::Written:
        return "";
    case RowOutcome::InvalidDimensions:
        return startCheckMessage(StartCheck::InvalidDimensions);
    case RowOutcome::NoDefinedCharacters:
        return startCheckMessage(StartCheck::NoDefinedCharacters);
    case RowOutcome::TooLarge:
        return startCheckMessage(StartCheck::TooLarge);
    }
    return "";
}

} // namespace mosaiq
