#include "convert/numbertext.h"

#include "convert/decimalreading.h"

#include <cmath>
#include <limits>
#include <string>

namespace mosaiq {

namespace {

    bool isSkipped(char c)
    {
        return c == ' ' || c == '\t' || c == '\n';
    }
    bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    // The reading says only that a value left the range; whether it is too large or too small
    // depends on where the first significant digit stands once the exponent is applied.
    double outOfRange(const std::string& number)
    {
        const auto e = number.find('e');
        const std::string mantissa = number.substr(0, e);
        const auto point = mantissa.find('.');
        const auto first = mantissa.find_first_not_of("0.");
        if (first == std::string::npos)
            return 0.0;
        // Position of the first significant digit relative to the decimal point (1 = units).
        long long position = point == std::string::npos || first < point
            ? static_cast<long long>((point == std::string::npos ? mantissa.size() : point) - first)
            : -static_cast<long long>(first - point - 1);
        long long exponent = 0;
        if (e != std::string::npos) {
            std::size_t k = e + 1;
            const bool negative = k < number.size() && number[k] == '-';
            if (k < number.size() && (number[k] == '-' || number[k] == '+'))
                ++k;
            for (; k < number.size() && exponent < 100000000; ++k)
                exponent = exponent * 10 + (number[k] - '0');
            if (negative)
                exponent = -exponent;
        }
        return position + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }

} // namespace

double numericValue(std::string_view text)
{
    // Gather the characters of the number, blanks removed, into a plain form from_chars reads.
    std::string number;
    std::size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && isSkipped(text[i]))
            ++i;
    };
    auto digits = [&] {
        std::size_t count = 0;
        for (skip(); i < text.size() && isDigit(text[i]); skip()) {
            number += text[i++];
            ++count;
        }
        return count;
    };

    bool negative = false;
    skip();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::size_t mantissaDigits = digits();
    skip();
    if (i < text.size() && text[i] == '.') {
        ++i;
        number += '.';
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0)
        return 0.0;
    skip();
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        // The exponent counts only with digits; "12e" and "12e+" are 12.
        const std::size_t mark = number.size();
        std::size_t save = i++;
        number += 'e';
        skip();
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            number += text[i++];
        if (digits() == 0) {
            number.resize(mark);
            i = save;
        }
    }

    double value = 0.0;
    if (!readDecimal(number, value))
        value = outOfRange(number);
    return negative ? -value : value;
}

std::int64_t loopCount(double bound)
{
    if (!(bound >= 1.0))
        return 0;
    if (bound >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(std::floor(bound));
}

} // namespace mosaiq
