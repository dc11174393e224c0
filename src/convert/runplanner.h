#pragma once

#include "convert/colourdifference.h"
#include "convert/slidingbox.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

namespace mosaiq {

// Where a row's runs end, chosen for the fewest characters at the smallest colour difference
// together: each run costs the characters of its tags plus weight times its cells' summed
// difference to their mean, estimated as the square root of their count times their summed
// squared difference (CIEDE2000's weights for a small step near the run's last cell), and the cut
// with the least total is found by dynamic programming. The weight grows as the square of the
// tolerance shrinks, so that one number moves a row from few loose runs to many close ones while
// the tolerance still bounds each cell. A run is only considered while its cells' box, seen from
// their mean, seems well within the tolerance: a close estimate, not a proof, which the caller
// checks with the full difference.
class RunPlanner {
public:
    // The characters a run costs besides its cells: "[color=#RRGGBB]" and "[/color]".
    static constexpr double RunCharacters = 23.0;
    // The cells whose short runs' boxes are kept: the longest short run's.
    static constexpr std::size_t RecentCells = 24;

    // The end of each run, in order, into ends; the last is labs.size(). share scales the
    // weight of the difference: below 1, fewer and looser runs.
    void plan(std::span<const LabColour> labs, double tolerance, std::vector<std::size_t>& ends,
        double share = 1.0)
    {
        prepare(labs, tolerance);
        plan(ends, share);
    }
    // What a row's plans at any share have in common, worked out once for them all.
    void prepare(std::span<const LabColour> labs, double tolerance);
    // The runs of the row last prepared, as above.
    void plan(std::vector<std::size_t>& ends, double share);
    // The runs of the row last prepared at two shares at once, for about the time of one and
    // a half.
    void plan(std::vector<std::size_t>& ends, double share, std::vector<std::size_t>& otherEnds,
        double otherShare);

    // For each cell of the last row planned, the squared steps that CIEDE2000 gives a small
    // move of L*, a* and b* near it.
    std::span<const std::array<double, 3>> stepWeights() const { return m_weights; }
    // The difference of colour from a cell, as CIEDE2000 weighs a small step near the cell
    // (weights: its stepWeights()): close enough to weigh one colour against another, and a
    // square root where CIEDE2000 takes four trigonometric calls.
    static double stepDifference(
        const std::array<double, 3>& weights, const LabColour& colour, const LabColour& cell)
    {
        const double l = colour.l - cell.l, a = colour.a - cell.a, b = colour.b - cell.b;
        return std::sqrt(weights[0] * l * l + weights[1] * a * a + weights[2] * b * b);
    }

    // The characters that a unit of summed difference is worth at a tolerance.
    static double differenceWeight(double tolerance);

private:
    // The runs at each of K shares into the ends of the same rank.
    template <std::size_t K>
    void planShares(
        const std::array<double, K>& shares, const std::array<std::vector<std::size_t>*, K>& ends);
    // The summed squared difference of the cells from begin to end to their mean, the steps
    // weighed as near the cell at, and that mean.
    double spread(std::size_t begin, std::size_t end, double mean[3], std::size_t at) const;
    // The squared steps of a* and b* near each of the first count cells, into m_weights.
    void weighChroma(std::size_t count);
    // The square root of count x spread of the runs from first (up to last) to end, into
    // m_roots.
    void workOutProducts(std::size_t first, std::size_t last, std::size_t end);
    // The cell comes into the boxes of the short runs ending at it (m_recent).
    void takeIn(std::size_t cell);
    // Whether the box of the short run from begin to end seems well within the tolerance.
    bool boxHolds(std::size_t begin, std::size_t end) const;
    // Whether every corner of a box seen from mean seems well within the tolerance, the steps
    // weighed as near the cell at.
    bool boxWithin(
        const double mean[3], const double low[3], const double high[3], std::size_t at) const;

    double m_tolerance = 0;
    // Running sums of each channel and of its squares, from the first cell up to one; a channel
    // to an array, so that the prices of all short runs ending at a cell are worked out together.
    std::array<std::vector<double>, 3> m_plain, m_squares;
    // The square root of count x spread of each short run ending at the cell.
    std::vector<double> m_roots;
    std::vector<double> m_prices; // each one's price at one share
    // The boxes of the short runs ending at the cell last taken in, each in the slot of its
    // first cell modulo RecentCells: the lowest of each channel, then the highest.
    std::array<std::array<double, RecentCells>, 6> m_recent;
    std::vector<std::array<double, 3>> m_weights;
    std::vector<std::array<double, 3>> m_points; // the cells' L*a*b*
    std::array<std::vector<double>, 3> m_channels; // the same, a channel to an array
    // For each share planned at once, the least total for the cells before each index, and
    // where the last run of that least total starts.
    std::array<std::vector<double>, 2> m_cost;
    std::array<std::vector<std::size_t>, 2> m_from;
    SlidingBox m_window; // the box of the longest run still in view
};

} // namespace mosaiq
