#include "convert/cheapestrun.h"

#include "convert/widest.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace mosaiq {

double cheapestOf(const double* prices, std::size_t count, double limit, std::size_t& place)
{
    double least = limit;
    for (std::size_t r = 0; r < count; ++r) {
        if (prices[r] <= least) {
            least = prices[r];
            place = r;
        }
    }
    return least;
}

WIDEST double cheapestRun(const double* __restrict costs, const double* __restrict roots,
    double weight, double extra, double* __restrict prices, std::size_t count, double limit,
    std::size_t& place)
{
#if defined(__GNUC__) && !defined(__clang__)
    // Four lanes at a time, without a branch the processor could mistake: each lane keeps its
    // least and its last place, the prices past count made infinite.
    using Lanes = double __attribute__((vector_size(32)));
    using Places = std::int64_t __attribute__((vector_size(32)));
    const Lanes extras = { extra, extra, extra, extra };
    const Lanes weights = { weight, weight, weight, weight };
    constexpr double Infinity = std::numeric_limits<double>::infinity();
    const Lanes never = { Infinity, Infinity, Infinity, Infinity };
    const auto last = std::int64_t(count);
    const Places ends = { last, last, last, last };
    Lanes low = { limit, limit, limit, limit };
    Places at = { 0, 0, 0, 0 }, index = { 0, 1, 2, 3 };
    for (std::size_t i = 0; i < count; i += 4) {
        Lanes cost, root;
        std::memcpy(&cost, costs + i, sizeof cost);
        std::memcpy(&root, roots + i, sizeof root);
        Lanes price = (cost + extras) + weights * root;
        price = index < ends ? price : never;
        std::memcpy(prices + i, &price, sizeof price);
        const auto lower = price <= low;
        low = lower ? price : low;
        at = lower ? index : at;
        index += 4;
    }
    const double least = std::min(std::min(low[0], low[1]), std::min(low[2], low[3]));
    const Lanes leastLanes = { least, least, least, least };
    const Places found = low == leastLanes ? at : Places {};
    place = std::size_t(std::max(std::max(found[0], found[1]), std::max(found[2], found[3])));
    return least;
#else
    for (std::size_t r = 0; r < count; ++r)
        prices[r] = costs[r] + extra + weight * roots[r];
    return cheapestOf(prices, count, limit, place);
#endif
}

} // namespace mosaiq
