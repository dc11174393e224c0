// The size fields take any text the user types or pastes.
#include "convert/numbertext.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = mosaiq::numericValue(text);
    if (std::isnan(value))
        std::abort();
    // Without a digit there is no number.
    if (text.find_first_of("0123456789") == std::string_view::npos && value != 0.0)
        std::abort();
    const std::int64_t count = mosaiq::loopCount(value);
    if (count < 0 || (value < 1.0 && count != 0))
        std::abort();
    return 0;
}
