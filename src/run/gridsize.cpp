#include "run/gridsize.h"

#include "convert/numbertext.h"
#include "wording/sizewords.h"

#include <utility>

namespace mosaiq {

namespace {

    bool isSpace(char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    }

    // Moves the digits at the start of text to plain; whether there was one.
    bool takeDigits(std::string_view& text, std::string& plain)
    {
        std::size_t count = 0;
        while (count < text.size() && text[count] >= '0' && text[count] <= '9')
            ++count;
        plain.append(text.substr(0, count));
        text.remove_prefix(count);
        return count > 0;
    }

    bool takeSign(std::string_view& text, std::string& plain)
    {
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            plain += text.front();
            text.remove_prefix(1);
        }
        return true;
    }

} // namespace

SizeReading readGridSize(std::string_view text)
{
    SizeReading size;
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    // Both separators read alike: the point of a script, the comma of a French keyboard.
    std::string plain;
    bool number = takeSign(text, plain) && takeDigits(text, plain);
    if (number && !text.empty() && (text.front() == '.' || text.front() == ',')) {
        plain += '.';
        text.remove_prefix(1);
        number = takeDigits(text, plain);
    }
    if (number && !text.empty() && (text.front() == 'e' || text.front() == 'E')) {
        plain += 'e';
        text.remove_prefix(1);
        number = takeSign(text, plain) && takeDigits(text, plain);
    }
    if (!number || !text.empty()) {
        size.problem = SizeReading::Problem::NotANumber;
        return size;
    }
    // Beyond the range of numbers it is infinite, and too large for the start checks to take.
    if (!(numericValue(plain) >= 1)) {
        size.problem = SizeReading::Problem::NoCell;
        return size;
    }
    size.plain = std::move(plain);
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
