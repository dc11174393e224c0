#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mosaiq {

// Why the size fields were left as they were.
enum class ScaleError {
    None,
    ColumnsNotANumber, // the columns field does not hold a number in the user's format
    RowsNotANumber,
    OutOfRange, // the result would leave the range of double-precision numbers
};

// How the user's regional settings write a number, in UTF-8: the window takes it from its
// locale, the page in the browser uses the French one.
struct NumberFormat {
    std::string decimal = ".";
    std::string minus = "-";
    std::string plus = "+";
    std::string exponential = "e";
    std::array<std::string, 10> digits { "0", "1", "2", "3", "4", "5", "6", "7", "8", "9" };

    static NumberFormat french();
};

struct ScaledNumbers {
    std::string columns;
    std::string rows;
    ScaleError error = ScaleError::None;
};

// A size field written in format, spaces around it skipped: an optional sign, digits, the decimal
// separator with digits after it, an exponent; no digit grouping. The same number in plain ASCII
// ("-12.5e3"), whatever its value; none when the text is no such number.
std::optional<std::string> plainSizeNumber(std::string_view text, const NumberFormat& format);

// The value of a size field written in format, as plainSizeNumber reads it. None when the text
// is no such number or its value is not finite.
std::optional<double> readSizeNumber(std::string_view text, const NumberFormat& format);

// Both sizes multiplied by factor (0.5 halves, 2 doubles) and written in format. A size is none
// where its field holds no number. Both are checked, columns first, before either text is
// given: on any error both texts are empty and the fields stay as they are.
ScaledNumbers scaleSizes(std::optional<double> columns, std::optional<double> rows, double factor,
    const NumberFormat& format);

// value in format: at most 15 significant digits, no digit grouping, no trailing zeros, an
// exponent only beyond 15 digits or below 0.0001 (as "1e+15", "1e-05"); -0 is written 0.
std::string sizeNumberText(double value, const NumberFormat& format);

} // namespace mosaiq
