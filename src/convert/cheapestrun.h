#pragma once

#include <cstddef>

namespace mosaiq {

// The least of prices[0] to prices[count - 1] if below limit, and its place (the last among
// equals) into place; else limit (and place tells nothing).
double cheapestOf(const double* prices, std::size_t count, double limit, std::size_t& place);

// The prices of count runs, costs[r] + extra + weight x roots[r], into prices, and the cheapest
// of them as cheapestOf finds it. costs, roots and prices reach the next multiple of four: the
// values past count are read and written over, never taken.
double cheapestRun(const double* costs, const double* roots, double weight, double extra,
    double* prices, std::size_t count, double limit, std::size_t& place);

} // namespace mosaiq
