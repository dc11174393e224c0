#include "convert/runplanner.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace mosaiq {

namespace {

    // Runs shorter than this are tried at every length; longer ones only as the longest run in
    // view, which is the one a smooth stretch wants.
    constexpr std::size_t ShortRuns = 24;
    // Characters per unit of squared difference, over the squared tolerance: where one more run
    // is worth it. Measured on the frontier photos (frontier_bench).
    constexpr double TradeWeight = 4.0;

    // The squared steps that CIEDE2000 gives a small move of each channel near a colour: its
    // lightness weight, and for a* and b* a chroma weight between those of chroma and hue (a*
    // stretched by G near the greys as CIEDE2000 does).
    void weighSteps(const double lab[3], double weights[3])
    {
        const double sl = lightnessWeight(lab[0]);
        const double chroma = std::sqrt(lab[1] * lab[1] + lab[2] * lab[2]);
        const double c2 = chroma * chroma;
        const double c7 = c2 * c2 * c2 * chroma;
        const double g = 0.5 * (1.0 - std::sqrt(c7 / (c7 + 6103515625.0)));
        const double s = 1.0 + 0.03 * chroma;
        weights[0] = 1.0 / (sl * sl);
        weights[1] = (1.0 + g) * (1.0 + g) / (s * s);
        weights[2] = 1.0 / (s * s);
    }

} // namespace

double RunPlanner::differenceWeight(double tolerance)
{
    return TradeWeight / (tolerance * tolerance);
}

double RunPlanner::spread(std::size_t begin, std::size_t end, double mean[3], std::size_t at) const
{
    const Sums& a = m_sums[begin];
    const Sums& b = m_sums[end];
    const double count = double(end - begin);
    const auto& weights = m_weights[at];
    double sum = 0;
    for (int c = 0; c < 3; ++c) {
        const double total = b.plain[c] - a.plain[c];
        mean[c] = total / count;
        sum += weights[c] * ((b.squares[c] - a.squares[c]) - total * mean[c]);
    }
    return std::max(0.0, sum);
}

bool RunPlanner::boxWithin(
    const double mean[3], const double low[3], const double high[3], std::size_t at) const
{
    const auto& weights = m_weights[at];
    double sum = 0;
    for (int c = 0; c < 3; ++c) {
        const double reach = std::max(mean[c] - low[c], high[c] - mean[c]);
        sum += weights[c] * reach * reach;
    }
    return sum <= m_tolerance * m_tolerance;
}

void RunPlanner::plan(
    std::span<const LabColour> labs, double tolerance, std::vector<std::size_t>& ends)
{
    const std::size_t n = labs.size();
    ends.clear();
    if (n == 0)
        return;
    m_tolerance = tolerance;
    const double weight = differenceWeight(tolerance);

    m_sums.resize(n + 1);
    m_sums[0] = {};
    m_weights.resize(n);
    m_points.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        m_points[i] = { labs[i].l, labs[i].a, labs[i].b };
        const double* lab = m_points[i].data();
        double* weights = m_weights[i].data();
        if (i > 0 && labs[i].l == labs[i - 1].l && labs[i].a == labs[i - 1].a
            && labs[i].b == labs[i - 1].b)
            m_weights[i] = m_weights[i - 1];
        else
            weighSteps(lab, weights);
        Sums& next = m_sums[i + 1];
        const Sums& last = m_sums[i];
        for (int c = 0; c < 3; ++c) {
            next.plain[c] = last.plain[c] + lab[c];
            next.squares[c] = last.squares[c] + lab[c] * lab[c];
        }
    }

    m_cost.assign(n + 1, 0.0);
    m_from.assign(n + 1, 0);
    for (auto& q : m_low)
        q.clear(n);
    for (auto& q : m_high)
        q.clear(n);
    std::size_t longest = 0; // where the longest run in view starts
    for (std::size_t j = 1; j <= n; ++j) {
        // The cell j - 1 comes into view; the first ones leave it while the box is too wide.
        const std::size_t cell = j - 1;
        for (int c = 0; c < 3; ++c) {
            m_low[c].push(m_points, cell, c, std::less_equal<>());
            m_high[c].push(m_points, cell, c, std::greater_equal<>());
        }
        double mean[3], low[3], high[3];
        double longestSpread = 0;
        for (;;) {
            for (int c = 0; c < 3; ++c) {
                low[c] = m_points[m_low[c].front(longest)][std::size_t(c)];
                high[c] = m_points[m_high[c].front(longest)][std::size_t(c)];
            }
            if (longest + 1 >= j)
                break;
            longestSpread = spread(longest, j, mean, cell);
            if (boxWithin(mean, low, high, cell))
                break;
            ++longest;
        }

        double best = std::numeric_limits<double>::infinity();
        std::size_t from = cell;
        if (longest < cell) {
            best = m_cost[longest] + RunCharacters + weight * longestSpread;
            from = longest;
        }
        // Shorter runs ending here, from a single cell to ShortRuns cells; their box grows as
        // they reach back.
        double shortLow[3] = { labs[cell].l, labs[cell].a, labs[cell].b };
        double shortHigh[3] = { shortLow[0], shortLow[1], shortLow[2] };
        const std::size_t farthest = std::max(longest + 1, j > ShortRuns ? j - ShortRuns : 0);
        double lastSpread = 0;
        for (std::size_t i = cell + 1; i-- > farthest;) {
            const LabColour& added = labs[i];
            shortLow[0] = std::min(shortLow[0], added.l);
            shortLow[1] = std::min(shortLow[1], added.a);
            shortLow[2] = std::min(shortLow[2], added.b);
            shortHigh[0] = std::max(shortHigh[0], added.l);
            shortHigh[1] = std::max(shortHigh[1], added.a);
            shortHigh[2] = std::max(shortHigh[2], added.b);
            // A run's spread only grows as it reaches back: the last one worked out bounds this.
            if (m_cost[i] + RunCharacters + weight * lastSpread >= best)
                continue;
            lastSpread = spread(i, j, mean, cell);
            const double value = m_cost[i] + RunCharacters + weight * lastSpread;
            if (value < best && (i == cell || boxWithin(mean, shortLow, shortHigh, cell))) {
                best = value;
                from = i;
            }
        }
        // Longer runs start on a grid of cells, coarser the farther it reaches, so that a cut
        // made long ago stays in reach while the run after it grows. Their box is the window's,
        // which holds theirs.
        std::size_t stride = 8;
        for (std::size_t i = farthest; i > longest + 1;) {
            i = (i - 1) / stride * stride;
            if (i <= longest)
                break;
            if (j - i >= 8 * stride)
                stride *= 4;
            if (m_cost[i] + RunCharacters + weight * lastSpread >= best)
                continue;
            lastSpread = spread(i, j, mean, cell);
            const double value = m_cost[i] + RunCharacters + weight * lastSpread;
            if (value < best && boxWithin(mean, low, high, cell)) {
                best = value;
                from = i;
            }
        }
        m_cost[j] = best;
        m_from[j] = from;
    }

    for (std::size_t j = n; j > 0; j = m_from[j])
        ends.push_back(j);
    std::reverse(ends.begin(), ends.end());
}

} // namespace mosaiq
