#include "run/gridsize.h"

#include "convert/numbertext.h"
#include "convert/sizescaling.h"
#include "wording/sizewords.h"

#include <optional>
#include <utility>

namespace mosaiq {

SizeReading readGridSize(std::string_view text)
{
    SizeReading size;
    // Both separators read alike: the point of a script, the comma of a French keyboard.
    std::optional<std::string> plain = plainSizeNumber(text, NumberFormat());
    if (!plain)
        plain = plainSizeNumber(text, NumberFormat::french());
    if (!plain) {
        size.problem = SizeReading::Problem::NotANumber;
        return size;
    }
    // Beyond the range of numbers it is infinite, and too large for the start checks to take.
    if (!(numericValue(*plain) >= 1)) {
        size.problem = SizeReading::Problem::NoCell;
        return size;
    }
    size.plain = std::move(*plain);
    return size;
}

std::string gridSizeRefusal(std::string_view text, bool rows, std::string_view name)
{
    switch (readGridSize(text).problem) {
    case SizeReading::Problem::None:
        return {};
    case SizeReading::Problem::NotANumber:
        return sizeNotANumberWords(name, text);
    case SizeReading::Problem::NoCell:
        return sizeMakesNoCellWords(name, text, rows);
    }
    return {};
}

} // namespace mosaiq
