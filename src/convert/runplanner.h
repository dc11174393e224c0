#pragma once

#include "convert/colourdifference.h"

#include <array>
#include <cstddef>
#include <deque>
#include <span>
#include <vector>

namespace mosaiq {

// Where a row's runs end, chosen for the fewest characters at the smallest colour difference
// together: each run costs the characters of its tags plus weight times the summed squared
// difference of its cells to their mean, as CIEDE2000 weighs a small step near each cell, and
// the cut with the least total is found by dynamic programming. The weight grows as the
// tolerance shrinks, so that one number still moves a row from few loose runs to many close
// ones. A run is only considered while its cells' box, seen from their mean, seems within the
// tolerance: a close estimate, not a proof, which the caller checks with the full difference.
class RunPlanner {
public:
    // The characters a run costs besides its cells: "[color=#RRGGBB]" and "[/color]".
    static constexpr double RunCharacters = 23.0;

    // The end of each run, in order, into ends; the last is labs.size().
    void plan(std::span<const LabColour> labs, double tolerance, std::vector<std::size_t>& ends);

    // For each cell of the last row planned, the squared steps that CIEDE2000 gives a small
    // move of L*, a* and b* near it.
    std::span<const std::array<double, 3>> stepWeights() const { return m_weights; }

    // The weight of the summed squared difference against characters at a tolerance.
    static double differenceWeight(double tolerance);

private:
    // Running sums of each channel, plain and weighted, from the first cell up to one.
    struct Sums {
        double plain[3];
        double weight[3];
        double weighted[3];
        double squares[3];
    };

    // The weighted summed squared difference of the cells from begin to end to their mean, and
    // that mean.
    double spread(std::size_t begin, std::size_t end, double mean[3]) const;
    // Whether every corner of a box seen from mean seems within the tolerance, the steps
    // weighed as near the cell at.
    bool boxWithin(
        const double mean[3], const double low[3], const double high[3], std::size_t at) const;

    double m_tolerance = 0;
    std::vector<Sums> m_sums;
    std::vector<std::array<double, 3>> m_weights;
    std::vector<double> m_cost; // the least total for the cells before each index
    std::vector<std::size_t> m_from; // where the last run of that least total starts
    // The cells of the longest run still in view, their lowest and highest in each channel.
    std::deque<std::size_t> m_low[3], m_high[3];
};

} // namespace mosaiq
