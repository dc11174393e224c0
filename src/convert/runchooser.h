#pragma once

#include "convert/colourform.h"
#include "convert/colourvalue.h"
#include "convert/rowfitter.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace mosaiq {

// Groups the cells of a row into runs that share one colour tag, as groupRuns does, but for more
// cells per character at the same mean difference (see RowFitter): every cell's CIEDE2000
// difference to its run's colour stays at most the tolerance, and a row never writes more tag
// characters than groupRuns' runs at the same tolerance. Rows are given in order; each row's
// search for its weight on closeness starts at the one the row three before took, so that the
// two rows after the one being chosen can be planned on another core meanwhile: the runs are the
// same whichever core plans a row and however long it takes.
class RunChooser {
public:
    // The rows that can be planned ahead of the one being chosen.
    static constexpr std::uint64_t RowsAhead = 2;

    explicit RunChooser(ColourForms forms = {});
    ~RunChooser();
    RunChooser(const RunChooser&) = delete;
    RunChooser& operator=(const RunChooser&) = delete;

    // Like groupRuns: the first cell of each run into starts, every cell's colour its run's;
    // where the forms nest tags, how each run nests into nesting (see RowFitter::apply).
    void choose(std::span<ColourValue> colours, double tolerance,
        std::vector<std::uint32_t>& starts, std::vector<std::uint8_t>* nesting = nullptr);
    // The row that comes after rows after the next one chosen (1 to RowsAhead), planned on another
    // core while this thread does the rows before it, then taken by the choose() that is given
    // the same cells. A row given again replaces the one given before unless that is planning.
    void planAhead(std::span<const ColourValue> cells, double tolerance, std::uint64_t after = 1);

private:
    enum class State : std::uint8_t { Free, Waiting, Planning, Done };
    struct Slot {
        explicit Slot(ColourForms forms)
            : fitter(forms)
        {
        }
        RowFitter fitter;
        std::uint64_t row = 0;
        double tolerance = 0;
        int step = 0;
        State state = State::Free;
        std::exception_ptr failure;
    };

    void serve();
    // The slot holding that row, or nullptr; the lock held.
    Slot* slotOf(std::uint64_t row);
    // A slot no row holds, or nullptr; the lock held.
    Slot* freeSlot();
    // Gives slot row's cells to plan from the step of the row three before; the lock held.
    void give(Slot& slot, std::uint64_t row, std::span<const ColourValue> cells, double tolerance);
    // The slot of the first row given and not begun, or nullptr; the lock held.
    Slot* nextWaiting();
    // Plans slot's row with the lock let go meanwhile; what the fitter throws is kept in slot.
    void plan(Slot& slot, std::unique_lock<std::mutex>& lock);

    std::array<int, 3> m_steps { 0, 0, 0 }; // the step each of the last three rows took
    std::uint64_t m_row = 0; // the rows chosen
    std::mutex m_mutex;
    std::condition_variable m_waiting; // a row was given to plan, or the thread is to stop
    std::condition_variable m_planned; // a row planned on the thread is done
    std::array<Slot, RowsAhead + 2> m_slots;
    bool m_stopping = false;
    // Declared last, so that it ends (its row done) before the slots it works on.
    std::thread m_thread;
};

} // namespace mosaiq
