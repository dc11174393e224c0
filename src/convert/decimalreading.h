#pragma once

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>

namespace mosaiq {

// A plain decimal number ("-12.5e3": digits, an optional "." and exponent, nothing else) as a
// double; false when its value lies beyond the double range. The standard library's from_chars
// where it reads floating numbers (GCC's does); elsewhere (the libc++ of the WebAssembly build)
// strtod, which reads the same plain form the same way, since that build has only the C locale.
inline bool readDecimal(const std::string& number, double& value)
{
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    return error != std::errc::result_out_of_range;
#else
    errno = 0;
    value = std::strtod(number.c_str(), nullptr);
    return errno != ERANGE;
#endif
}

} // namespace mosaiq
