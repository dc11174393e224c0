#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <vector>

namespace mosaiq {

// The lowest and highest value in each of three channels of the cells in a window whose start and
// end only move forward. The cells from a split point to the end are kept as one running box; each
// cell before the split keeps the box from itself to the split, all worked out again in one pass
// when the window's start passes the split. A cell is gone through about twice in all, with no
// branch on its values, where a queue of extremes per channel and side paid a mistaken branch or
// two at most cells.
class SlidingBox {
public:
    // A new row of cells, a channel to an array (which the caller keeps); the window is empty.
    void reset(const double* l, const double* a, const double* b, std::size_t count)
    {
        m_channels = { l, a, b };
        m_before.resize(count);
        m_end = m_split = 0;
        clearAfter();
    }
    // The next cell comes in at the window's end.
    void push()
    {
        for (std::size_t c = 0; c < 3; ++c) {
            const double value = m_channels[c][m_end];
            m_after[c] = std::min(m_after[c], value);
            m_after[3 + c] = std::max(m_after[3 + c], value);
        }
        ++m_end;
    }
    // The box of the cells from first to the end of the window (first below it, and never below
    // a first asked before).
    void box(std::size_t first, double low[3], double high[3])
    {
        if (first >= m_split)
            split(first);
        const std::array<double, 6>& before = m_before[first];
        for (std::size_t c = 0; c < 3; ++c) {
            low[c] = std::min(before[c], m_after[c]);
            high[c] = std::max(before[3 + c], m_after[3 + c]);
        }
    }

private:
    void clearAfter()
    {
        for (std::size_t c = 0; c < 3; ++c) {
            m_after[c] = std::numeric_limits<double>::infinity();
            m_after[3 + c] = -std::numeric_limits<double>::infinity();
        }
    }
    // Every cell from first on gets the box from itself to the end, which becomes the split.
    void split(std::size_t first)
    {
        // Kept in registers and stored a value at a time: a box copied whole from the stack
        // would be read back wider than it was written, and wait.
        double low[3], high[3];
        for (std::size_t c = 0; c < 3; ++c) {
            low[c] = std::numeric_limits<double>::infinity();
            high[c] = -std::numeric_limits<double>::infinity();
        }
        for (std::size_t i = m_end; i-- > first;) {
            std::array<double, 6>& before = m_before[i];
            for (std::size_t c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], m_channels[c][i]);
                high[c] = std::max(high[c], m_channels[c][i]);
                before[c] = low[c];
                before[3 + c] = high[c];
            }
        }
        m_split = m_end;
        clearAfter();
    }

    std::array<const double*, 3> m_channels {};
    // For each cell before the split, from the window's start on: the lowest of each channel
    // from it to the split, then the highest.
    std::vector<std::array<double, 6>> m_before;
    std::array<double, 6> m_after {}; // the same for the cells from the split to the end
    std::size_t m_end = 0, m_split = 0;
};

} // namespace mosaiq
