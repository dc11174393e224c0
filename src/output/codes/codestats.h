#pragma once

#include "convert/rowloop.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace mosaiq {

// What --stats tells of a run: its grid, the bytes of its rows, the colours it writes and how
// far they are from the sampled ones (CIEDE2000), gathered as the rows come.
class CodeStats : public RowSink {
public:
    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override;

    std::int64_t columns() const { return m_columns; }
    std::int64_t rows() const { return m_rows; }
    std::int64_t cells() const { return m_cells; }
    std::size_t pageBytes() const { return m_pageBytes; } // the rows of the page
    std::size_t htmlBytes() const { return m_htmlBytes; } // the rows of the HTML code
    std::size_t coloursUsed() const { return m_colours.size(); }
    double meanDifference() const;
    // The difference that 95 % of the cells do not pass, to a hundredth.
    double percentile95() const;

private:
    static constexpr std::size_t Bins = 10'001; // hundredths from 0 to 100
    std::int64_t m_columns = 0, m_rows = 0, m_cells = 0;
    std::size_t m_pageBytes = 0, m_htmlBytes = 0;
    std::unordered_set<ColourValue> m_colours;
    double m_sum = 0;
    std::array<std::int64_t, Bins> m_histogram {};
};

// What --stats says of stats, in French: the grid, the bytes per cell of the page, the HTML code
// and the bracket code of dialect (blogBytes, 0 when none was written), the colours and their
// differences.
std::string statsText(const CodeStats& stats, std::size_t blogBytes, std::string_view dialect);

} // namespace mosaiq
