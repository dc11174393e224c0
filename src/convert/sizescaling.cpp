#include "convert/sizescaling.h"

#include "convert/decimalreading.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace mosaiq {

namespace {

    bool take(std::string_view& text, std::string_view prefix)
    {
        if (prefix.empty() || !text.starts_with(prefix))
            return false;
        text.remove_prefix(prefix.size());
        return true;
    }

    // Moves the digits at the start of text, in ASCII, to plain; how many there were.
    int takeDigits(std::string_view& text, const NumberFormat& format, std::string& plain)
    {
        int count = 0;
        for (char digit = '0'; digit <= '9';) {
            if (take(text, std::string_view(&digit, 1)) || take(text, format.digits[digit - '0'])) {
                plain += digit;
                ++count;
                digit = '0';
            } else {
                ++digit;
            }
        }
        return count;
    }

    // A sign in the format's form or in plain ASCII; a minus goes into plain, a plus is
    // dropped.
    void takeSign(std::string_view& text, const NumberFormat& format, std::string& plain)
    {
        if (take(text, format.minus) || take(text, "-"))
            plain += '-';
        else if (!take(text, format.plus))
            take(text, "+");
    }

    bool isSpace(char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    }

} // namespace

NumberFormat NumberFormat::french()
{
    NumberFormat format;
    format.decimal = ",";
    format.exponential = "E";
    return format;
}

std::optional<std::string> plainSizeNumber(std::string_view text, const NumberFormat& format)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    std::string plain;
    takeSign(text, format, plain);
    if (takeDigits(text, format, plain) == 0)
        return std::nullopt;
    if (take(text, format.decimal)) {
        plain += '.';
        if (takeDigits(text, format, plain) == 0)
            return std::nullopt;
    }
    if (take(text, format.exponential) || take(text, "e") || take(text, "E")) {
        plain += 'e';
        takeSign(text, format, plain);
        if (takeDigits(text, format, plain) == 0)
            return std::nullopt;
    }
    if (!text.empty())
        return std::nullopt;
    return plain;
}

std::optional<double> readSizeNumber(std::string_view text, const NumberFormat& format)
{
    const std::optional<std::string> plain = plainSizeNumber(text, format);
    double value = 0.0;
    if (!plain || !readDecimal(*plain, value) || !std::isfinite(value))
        return std::nullopt;
    return value;
}

ScaledNumbers scaleSizes(std::optional<double> columns, std::optional<double> rows, double factor,
    const NumberFormat& format)
{
    if (!columns)
        return { {}, {}, ScaleError::ColumnsNotANumber };
    if (!rows)
        return { {}, {}, ScaleError::RowsNotANumber };
    const double newColumns = *columns * factor;
    const double newRows = *rows * factor;
    if (!std::isfinite(newColumns) || !std::isfinite(newRows))
        return { {}, {}, ScaleError::OutOfRange };
    return { sizeNumberText(newColumns, format), sizeNumberText(newRows, format),
        ScaleError::None };
}

std::string sizeNumberText(double value, const NumberFormat& format)
{
    // Halving -0.5 far enough gives -0, which reads oddly in a size field.
    if (value == 0.0)
        value = 0.0;
    char buffer[32];
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    const auto end
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
#else
    // The WebAssembly build's libc++ writes no floating number; it has only the C locale, where
    // printf writes the same text.
    char* end = buffer + std::snprintf(buffer, sizeof buffer, "%.15g", value);
#endif
    std::string text;
    for (const char* c = buffer; c != end; ++c) {
        if (*c >= '0' && *c <= '9')
            text += format.digits[*c - '0'];
        else if (*c == '.')
            text += format.decimal;
        else if (*c == '-')
            text += format.minus;
        else if (*c == '+')
            text += format.plus;
        else
            text += format.exponential;
    }
    return text;
}

} // namespace mosaiq
