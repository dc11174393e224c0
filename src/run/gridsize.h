#pragma once

#include <string>
#include <string_view>

namespace mosaiq {

// A size given to mosaiq-cli (--columns, --rows) or typed in the page in the browser: the whole
// text, spaces around it aside, is one number, its decimals after "." or "," alike ("3,5" and
// "3.5" are both three and a half), with an optional sign and exponent. "12abc" or "3,5,1" is no
// size, and neither is a number that makes no cell (below 1): the window alone reads its fields
// its own way, by the leading number. A fraction above 1 stays the grid's divisor, as in the
// window: 2.5 columns make 2 cells sampled with a step of 2.5.
struct SizeReading {
    enum class Problem { None, NotANumber, NoCell };
    Problem problem = Problem::None;
    // Without a problem: the size written with "." for the window's reading of a field
    // (numericValue), which gives the very number the text holds.
    std::string plain;
};

SizeReading readGridSize(std::string_view text);

// The French refusal of text given as the columns (or the rows) under name, the option or the
// field the user knows ("--columns"); empty when text is a size.
std::string gridSizeRefusal(std::string_view text, bool rows, std::string_view name);

} // namespace mosaiq
