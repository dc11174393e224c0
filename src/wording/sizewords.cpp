#include "wording/sizewords.h"

#include "wording/joined.h"
#include "wording/windowwords.h"

namespace mosaiq {

namespace {

    // text with its first "%1" (then "%2") replaced by first (then second).
    std::string filled(std::string text, std::string_view first, std::string_view second = {})
    {
        if (const auto at = text.find("%1"); at != std::string::npos)
            text.replace(at, 2, first);
        if (const auto at = text.find("%2"); at != std::string::npos)
            text.replace(at, 2, second);
        return text;
    }

    std::string notANumber(const char* field, std::string_view offending)
    {
        if (offending.empty())
            return joined({ filled(window::SizeEmpty, field), window::SizesUnchanged });
        return joined({ filled(window::SizeNotANumber, field, offending), window::SizesUnchanged });
    }

} // namespace

std::string scaleErrorWords(ScaleError error, std::string_view offending)
{
    switch (error) {
    case ScaleError::None:
        return {};
    case ScaleError::ColumnsNotANumber:
        return notANumber(window::Width, offending);
    case ScaleError::RowsNotANumber:
        return notANumber(window::Height, offending);
    case ScaleError::OutOfRange:
        return joined({ window::SizeTooLarge, window::SizesUnchanged });
    }
    return {};
}

std::string sizeNotANumberWords(std::string_view name, std::string_view text)
{
    return joined({ "Dimensions invalides : ", name, " « ", text,
        " » n'est pas un nombre (par exemple 120, 37,5 ou 37.5)." });
}

std::string sizeMakesNoCellWords(std::string_view name, std::string_view text, bool rows)
{
    return joined({ "Dimensions invalides : ", name, " « ", text, " » ne donne aucune ",
        rows ? "ligne" : "colonne", " ; il en faut au moins une." });
}

} // namespace mosaiq
