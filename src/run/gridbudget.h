#pragma once

#include "output/codes/codefit.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mosaiq {

// The grid a size budget chooses for mosaiq-cli and the page in the browser: the largest grid
// keeping the picture's proportions whose code (measure's, in measure.unit) is at most limit.
struct BudgetGrid {
    bool fits = false;
    std::string columns; // the grid, written as a size field holds it
    std::string rows;
    std::string message; // French: the grid chosen, or why none fits
};
BudgetGrid gridForBudget(const CodeMeasure& measure, std::size_t limit);

// The French refusal of a code that cannot be cut into posts of postLimit (in the dialect's unit)
// because its row longRow is longer than a post on its own, naming the most columns that would
// fit. measure: the run's code (dialect's), columns x rows: its grid; rowPerMessage: each row is
// a message of its own, whose two line-end bytes the limit does not count.
std::string postRowRefusal(const CodeMeasure& measure, std::int64_t columns, std::int64_t rows,
    std::int64_t longRow, bool rowPerMessage);

} // namespace mosaiq
