#pragma once

#include "convert/sizescaling.h"

#include <string>
#include <string_view>

namespace mosaiq {

// Why halving or doubling left the size fields as they were, in French (UTF-8): offending is the
// text of the field that holds no number, empty when that field is blank.
std::string scaleErrorWords(ScaleError error, std::string_view offending);

} // namespace mosaiq
