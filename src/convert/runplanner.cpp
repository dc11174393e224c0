#include "convert/runplanner.h"

#include "convert/cheapestrun.h"
#include "convert/widest.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace mosaiq {

namespace {

    // Runs shorter than this are tried at every length; longer ones only as the longest run in
    // view, which is the one a smooth stretch wants.
    constexpr std::size_t ShortRuns = 24;
    static_assert(ShortRuns == RunPlanner::RecentCells);
    // The short runs' prices and roots reach a multiple of four (cheapestRun).
    static_assert(ShortRuns % 4 == 0);
    // Characters per unit of summed difference, over the squared tolerance: where one more run
    // is worth it. Swept on the frontier photos (frontier_bench): tied to the square of the
    // tolerance, a tighter tolerance asks for closer runs, not only for each cell within it.
    constexpr double TradeWeight = 256.0;
    // A run is considered only while its box seen from its mean is within this share of the
    // squared tolerance (about 0.77 of the tolerance): a run whose corners reach farther holds
    // cells that its estimate prices too kindly, and the cells are closer, for the same
    // characters, in runs cut before them. Swept on the frontier photos (0.5 to 0.7 alike).
    constexpr double BoxReach = 0.6;
    // The inverses of the short runs' counts, a division spared each.
    constexpr auto Inverses = [] {
        std::array<double, ShortRuns + 1> inverses {};
        for (std::size_t i = 1; i <= ShortRuns; ++i)
            inverses[i] = 1.0 / double(i);
        return inverses;
    }();

    // From ShortRuns down to 1, and their inverses: the counts of the short runs ending at a cell,
    // the farthest first.
    constexpr auto Counts = [] {
        std::array<double, ShortRuns + 3> counts {}; // and no count past the shortest
        for (std::size_t i = 0; i < ShortRuns; ++i)
            counts[i] = double(ShortRuns - i);
        return counts;
    }();
    constexpr auto CountInverses = [] {
        std::array<double, ShortRuns + 3> inverses {};
        for (std::size_t i = 0; i < ShortRuns; ++i)
            inverses[i] = 1.0 / double(ShortRuns - i);
        return inverses;
    }();

} // namespace

double RunPlanner::differenceWeight(double tolerance)
{
    return TradeWeight / (tolerance * tolerance);
}

inline double RunPlanner::spread(
    std::size_t begin, std::size_t end, double mean[3], std::size_t at) const
{
    const double count = double(end - begin);
    const auto& weights = m_weights[at];
    double sum = 0;
    for (std::size_t c = 0; c < 3; ++c) {
        const double total = m_plain[c][end] - m_plain[c][begin];
        mean[c] = total / count;
        sum += weights[c] * ((m_squares[c][end] - m_squares[c][begin]) - total * mean[c]);
    }
    return std::max(0.0, sum);
}

inline bool RunPlanner::boxWithin(
    const double mean[3], const double low[3], const double high[3], std::size_t at) const
{
    const auto& weights = m_weights[at];
    double sum = 0;
    for (int c = 0; c < 3; ++c) {
        const double reach = std::max(mean[c] - low[c], high[c] - mean[c]);
        sum += weights[c] * reach * reach;
    }
    return sum <= BoxReach * m_tolerance * m_tolerance;
}

WIDEST void RunPlanner::workOutProducts(std::size_t first, std::size_t last, std::size_t end)
{
    // Branch-free over the runs in order, their channels in arrays: the compiler widens it (the
    // square root too, this file being built without errno for it).
    // As many as the next multiple of four, which the prices' lanes ignore: no loop for the
    // last few, no branch on how many.
    const std::size_t size = ((last > first ? last - first : 0) + 3) & ~std::size_t(3);
    double* __restrict roots = m_roots.data();
    // The counts of the runs and their inverses, in the runs' order.
    const std::size_t offset = ShortRuns - (end - first);
    const double* __restrict counts = Counts.data() + offset;
    const double* __restrict inverses = CountInverses.data() + offset;
    const auto& w = m_weights[end - 1];
    const double *__restrict l = m_plain[0].data() + first, *__restrict a = m_plain[1].data() + first,
                 *__restrict b = m_plain[2].data() + first;
    const double *__restrict ll = m_squares[0].data() + first,
                 *__restrict aa = m_squares[1].data() + first,
                 *__restrict bb = m_squares[2].data() + first;
    const double totalL = m_plain[0][end], totalA = m_plain[1][end], totalB = m_plain[2][end];
    const double squaredL = m_squares[0][end], squaredA = m_squares[1][end],
                 squaredB = m_squares[2][end];
    const double wl = w[0], wa = w[1], wb = w[2];
    for (std::size_t r = 0; r < size; ++r) {
        const double inverse = inverses[r];
        const double partL = totalL - l[r], partA = totalA - a[r], partB = totalB - b[r];
        double product = 0.0;
        product += wl * ((squaredL - ll[r]) - partL * partL * inverse);
        product += wa * ((squaredA - aa[r]) - partA * partA * inverse);
        product += wb * ((squaredB - bb[r]) - partB * partB * inverse);
        roots[r] = std::sqrt(std::max(0.0, product) * counts[r]);
    }
}

WIDEST void RunPlanner::takeIn(std::size_t cell)
{
    // Every slot, a size the compiler knows: a few wide minima and maxima, no branch, where
    // working out the one box asked for from its cells took a loop at most cells. The slot of
    // the cell that comes in is then its own box.
    const std::size_t slot = cell % RecentCells;
    for (std::size_t c = 0; c < 3; ++c) {
        const double value = m_channels[c][cell];
        double* __restrict low = m_recent[c].data();
        double* __restrict high = m_recent[3 + c].data();
        for (std::size_t q = 0; q < RecentCells; ++q) {
            low[q] = std::min(low[q], value);
            high[q] = std::max(high[q], value);
        }
        low[slot] = high[slot] = value;
    }
}

inline bool RunPlanner::boxHolds(std::size_t begin, std::size_t end) const
{
    const double inverse = Inverses[end - begin];
    const std::size_t slot = begin % RecentCells;
    double mean[3], low[3], high[3];
    for (std::size_t c = 0; c < 3; ++c) {
        mean[c] = (m_plain[c][end] - m_plain[c][begin]) * inverse;
        low[c] = m_recent[c][slot];
        high[c] = m_recent[3 + c][slot];
    }
    return boxWithin(mean, low, high, end - 1);
}

WIDEST void RunPlanner::weighChroma(std::size_t count)
{
    // For a* and b*, a chroma weight between those of chroma and hue (a* stretched by G near the
    // greys as CIEDE2000 does): every cell, without a branch, so that the compiler widens it.
    const double* __restrict a = m_channels[1].data();
    const double* __restrict b = m_channels[2].data();
    std::array<double, 3>* __restrict weights = m_weights.data();
    for (std::size_t i = 0; i < count; ++i) {
        const double chroma = std::sqrt(a[i] * a[i] + b[i] * b[i]);
        const double c2 = chroma * chroma;
        const double c7 = c2 * c2 * c2 * chroma;
        const double g = 0.5 * (1.0 - std::sqrt(c7 / (c7 + 6103515625.0)));
        const double s = 1.0 + 0.03 * chroma;
        weights[i][1] = (1.0 + g) * (1.0 + g) / (s * s);
        weights[i][2] = 1.0 / (s * s);
    }
}

void RunPlanner::prepare(std::span<const LabColour> labs, double tolerance)
{
    const std::size_t n = labs.size();
    m_tolerance = tolerance;
    for (std::size_t c = 0; c < 3; ++c) {
        // Read up to two past the end by workOutProducts.
        m_plain[c].resize(n + 3);
        m_squares[c].resize(n + 3);
        m_plain[c][0] = m_squares[c][0] = 0;
    }
    m_weights.resize(n);
    m_points.resize(n);
    for (auto& channel : m_channels)
        channel.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        m_points[i] = { labs[i].l, labs[i].a, labs[i].b };
        const double* lab = m_points[i].data();
        // The lightness weight, as CIEDE2000's, once for a stretch of one lightness.
        if (i > 0 && lab[0] == m_points[i - 1][0]) {
            m_weights[i][0] = m_weights[i - 1][0];
        } else {
            const double sl = lightnessWeight(lab[0]);
            m_weights[i][0] = 1.0 / (sl * sl);
        }
        for (std::size_t c = 0; c < 3; ++c) {
            m_channels[c][i] = lab[c];
            m_plain[c][i + 1] = m_plain[c][i] + lab[c];
            m_squares[c][i + 1] = m_squares[c][i] + lab[c] * lab[c];
        }
    }
    weighChroma(n);
}

void RunPlanner::plan(std::vector<std::size_t>& ends, double share)
{
    planShares<1>({ share }, { &ends });
}

void RunPlanner::plan(std::vector<std::size_t>& ends, double share,
    std::vector<std::size_t>& otherEnds, double otherShare)
{
    planShares<2>({ share, otherShare }, { &ends, &otherEnds });
}

template <std::size_t K>
void RunPlanner::planShares(
    const std::array<double, K>& shares, const std::array<std::vector<std::size_t>*, K>& ends)
{
    const std::size_t n = m_points.size();
    for (auto* e : ends)
        e->clear();
    if (n == 0)
        return;
    std::array<double, K> weight, squaredWeight;
    for (std::size_t k = 0; k < K; ++k) {
        weight[k] = differenceWeight(m_tolerance) * shares[k];
        // Prices are compared squared, spared a square root each: a run is worth working out
        // only while weight^2 x count x spread stays below the squared room left under the
        // best.
        squaredWeight[k] = weight[k] * weight[k];
        m_cost[k].assign(n + 4, 0.0); // read up to the next multiple of four by cheapestRun
        m_from[k].assign(n + 1, 0);
    }
    m_roots.resize(ShortRuns);
    m_prices.resize(ShortRuns);
    for (auto& side : m_recent)
        side.fill(0.0);
    m_window.reset(m_channels[0].data(), m_channels[1].data(), m_channels[2].data(), n);
    std::size_t longest = 0; // where the longest run in view starts
    std::size_t flat = 0; // where the stretch of one colour ending at the cell starts
    for (std::size_t j = 1; j <= n; ++j) {
        // The cell j - 1 comes into view; the first ones leave it while the box is too wide.
        const std::size_t cell = j - 1;
        if (cell > 0 && m_points[cell] != m_points[cell - 1])
            flat = cell;
        m_window.push();
        takeIn(cell);
        double mean[3], low[3], high[3];
        double longestSpread = 0;
        for (;;) {
            m_window.box(longest, low, high);
            if (longest + 1 >= j)
                break;
            longestSpread = spread(longest, j, mean, cell);
            if (boxWithin(mean, low, high, cell))
                break;
            ++longest;
        }

        // Shorter runs ending here, from a single cell to ShortRuns cells.
        const std::size_t farthest = std::max(longest + 1, j > ShortRuns ? j - ShortRuns : 0);
        std::array<double, K> best;
        std::array<std::size_t, K> from;
        const double longestRoot
            = longest < cell ? std::sqrt(double(j - longest) * longestSpread) : 0.0;
        for (std::size_t k = 0; k < K; ++k) {
            const std::vector<double>& cost = m_cost[k];
            // The cell alone is always a run.
            best[k] = cost[cell] + RunCharacters;
            from[k] = cell;
            if (longest < cell) {
                const double value = cost[longest] + RunCharacters + weight[k] * longestRoot;
                if (value < best[k]) {
                    best[k] = value;
                    from[k] = longest;
                }
            }
            // A stretch of one colour is always worth trying whole: it costs its tag alone.
            // Taken without a branch, which the processor would often mistake.
            const double whole = cost[flat] + RunCharacters;
            const bool takesWhole = (flat < cell) & (flat > longest) & (whole < best[k]);
            best[k] = takesWhole ? whole : best[k];
            from[k] = takesWhole ? flat : from[k];
        }
        // A run is not cut inside a stretch of one colour: there a cell goes on with the runs
        // that ended at the cell before, or starts with the stretch. Every short run is priced
        // at once, without a branch the processor could mistake; then the cheapest ones are
        // taken in turn until one's box holds, that box kept up to date at every cell.
        const std::size_t nearest = std::min(cell, flat + 1);
        const std::size_t count = nearest > farthest ? nearest - farthest : 0;
        workOutProducts(farthest, nearest, j);
        for (std::size_t k = 0; k < K; ++k) {
            double* prices = m_prices.data();
            const double* cost = m_cost[k].data() + farthest;
            std::size_t cheapest = 0;
            double least = cheapestRun(
                cost, m_roots.data(), weight[k], RunCharacters, prices, count, best[k], cheapest);
            // The cheapest below the best so far, the nearest first among equals.
            while (least < best[k]) {
                if (boxHolds(farthest + cheapest, j)) {
                    best[k] = least;
                    from[k] = farthest + cheapest;
                    break;
                }
                prices[cheapest] = std::numeric_limits<double>::infinity();
                least = cheapestOf(prices, count, best[k], cheapest);
            }
        }
        for (std::size_t k = 0; k < K; ++k) {
            const std::vector<double>& cost = m_cost[k];
            // No longer run costs less than the farthest short one.
            const double lastPrice = count > 0 ? weight[k] * m_roots[0] : 0.0;
            // Longer runs start where the best run ending at the cell before starts, or the one
            // before it: a run goes on growing, or takes in the run before. Their box is the
            // window's, which holds theirs.
            const std::size_t previous = m_from[k][cell];
            for (std::size_t i : { previous, cell > 0 ? m_from[k][previous] : previous }) {
                if (i <= longest || i >= farthest || i == flat)
                    continue;
                if (cost[i] + RunCharacters + lastPrice >= best[k])
                    continue;
                const double spreadSum = spread(i, j, mean, cell);
                const double value
                    = cost[i] + RunCharacters + weight[k] * std::sqrt(double(j - i) * spreadSum);
                if (value < best[k] && boxWithin(mean, low, high, cell)) {
                    best[k] = value;
                    from[k] = i;
                }
            }
            m_cost[k][j] = best[k];
            m_from[k][j] = from[k];
        }
    }

    for (std::size_t k = 0; k < K; ++k) {
        for (std::size_t j = n; j > 0; j = m_from[k][j])
            ends[k]->push_back(j);
        std::reverse(ends[k]->begin(), ends[k]->end());
    }
}

} // namespace mosaiq
