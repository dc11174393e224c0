#pragma once

#include "convert/colourform.h"
#include "convert/colourvalue.h"
#include "convert/helperthread.h"
#include "convert/rowfitter.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace mosaiq {

// Groups the cells of a row into runs that share one colour tag, as groupRuns does, but for more
// cells per character at the same mean difference (see RowFitter): every cell's CIEDE2000
// difference to its run's colour stays at most the tolerance, and a row never writes more tag
// characters than groupRuns' runs at the same tolerance. Rows are given in order; each row's
// search for its weight on closeness starts at the one the row two before took, so that a row
// can be planned on another core while the one before it is: the runs are the same whichever
// core plans a row and however long it takes.
class RunChooser {
public:
    explicit RunChooser(ColourForms forms = {});
    ~RunChooser();
    RunChooser(const RunChooser&) = delete;
    RunChooser& operator=(const RunChooser&) = delete;

    // Like groupRuns: the first cell of each run into starts, every cell's colour its run's.
    void choose(
        std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts);
    // The row that follows the next one chosen, planned meanwhile (on another core while this
    // thread does the next row), then taken by the choose() that is given the same cells.
    void planAhead(std::span<const ColourValue> cells, double tolerance);

private:
    // Where a fitter's row stands against the rows chosen.
    enum class Holds : std::uint8_t { Nothing, NextRow, RowAfter };
    // Whether fitter's row is the cells at that tolerance.
    static bool holdsRow(
        const RowFitter& fitter, std::span<const ColourValue> cells, double tolerance);

    std::array<int, 2> m_steps { 0, 0 }; // the step each of the last two rows took, by parity
    std::uint64_t m_row = 0; // the rows chosen
    RowFitter m_here; // the rows planned on the caller's thread
    RowFitter m_there; // those planned on m_thread
    Holds m_hereHolds = Holds::Nothing;
    Holds m_thereHolds = Holds::Nothing;
    bool m_thereBusy = false; // whether m_there is planning on m_thread
    // Declared last, so that it ends (its job done) before the fitters it works on.
    std::unique_ptr<HelperThread> m_thread;
};

} // namespace mosaiq
