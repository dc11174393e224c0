#pragma once

#include "convert/sizescaling.h"

#include <string>
#include <string_view>

namespace mosaiq {

// Why halving or doubling left the size fields as they were, in French (UTF-8): offending is the
// text of the field that holds no number, empty when that field is blank.
std::string scaleErrorWords(ScaleError error, std::string_view offending);

// Why a size given to mosaiq-cli or typed in the page in the browser is refused: name is the
// option or the field the user knows ("--columns"), text what was given.
std::string sizeNotANumberWords(std::string_view name, std::string_view text);
std::string sizeMakesNoCellWords(std::string_view name, std::string_view text, bool rows);

} // namespace mosaiq
