#pragma once

#include <cstdint>
#include <string_view>

namespace mosaiq {

// The numeric value of a size field, read the same way whatever the user's regional settings:
// spaces, tabs and line feeds are skipped wherever they stand, then come an optional sign,
// digits, an optional "." with further digits and an optional exponent (E or e, optional sign,
// digits). The first character that does not fit ends the number; no digits read as 0.
// So "37,5" is 37, "12abc" is 12, "1 2" is 12, "abc" is 0. A value beyond the double range
// reads as an infinity of its sign.
double numericValue(std::string_view text);

// How many times "for i = 1, 2, ... while i <= bound" runs: 0 below 1, else floor(bound),
// saturated at INT64_MAX (infinities and huge values included).
std::int64_t loopCount(double bound);

} // namespace mosaiq
