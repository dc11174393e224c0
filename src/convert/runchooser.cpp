#include "convert/runchooser.h"

#include <algorithm>

namespace mosaiq {

RunChooser::RunChooser(ColourForms forms)
    : m_here(forms)
    , m_there(forms)
{
}

RunChooser::~RunChooser() = default;

bool RunChooser::holdsRow(
    const RowFitter& fitter, std::span<const ColourValue> cells, double tolerance)
{
    const auto held = fitter.cells();
    return fitter.tolerance() == tolerance
        && std::equal(held.begin(), held.end(), cells.begin(), cells.end());
}

void RunChooser::choose(
    std::span<ColourValue> colours, double tolerance, std::vector<std::uint32_t>& starts)
{
    const std::size_t parity = m_row % 2;
    RowFitter* done = nullptr;
    if (m_thereHolds == Holds::NextRow) {
        if (m_thereBusy) {
            m_thereBusy = false;
            m_thread->wait();
        }
        if (holdsRow(m_there, colours, tolerance))
            done = &m_there;
    }
    if (!done && m_hereHolds == Holds::NextRow && holdsRow(m_here, colours, tolerance))
        done = &m_here;
    if (!done) {
        // Not planned ahead (or other cells came): planned here, by whichever fitter is free.
        done = m_hereHolds == Holds::RowAfter ? &m_there : &m_here;
        done->load(colours);
        done->fit(tolerance, m_steps[parity]);
    }
    done->apply(colours, starts);
    m_steps[parity] = done->step();
    for (Holds* holds : { &m_hereHolds, &m_thereHolds })
        *holds = *holds == Holds::RowAfter ? Holds::NextRow : Holds::Nothing;
    ++m_row;
}

void RunChooser::planAhead(std::span<const ColourValue> cells, double tolerance)
{
    // The row after the next starts from the step of the row before the next, already chosen.
    const int step = m_steps[(m_row + 1) % 2];
    if (m_thereHolds == Holds::RowAfter) {
        if (m_thereBusy) {
            m_thereBusy = false;
            m_thread->wait();
        }
        m_thereHolds = Holds::Nothing;
    }
    if (m_thereHolds == Holds::NextRow) {
        // The other core plans the next row: this one is planned here meanwhile, and the next
        // waited for after it.
        m_here.load(cells);
        m_here.fit(tolerance, step);
        m_hereHolds = Holds::RowAfter;
        return;
    }
    if (m_hereHolds == Holds::RowAfter)
        m_hereHolds = Holds::Nothing;
    if (!m_thread)
        m_thread = std::make_unique<HelperThread>();
    m_there.load(cells);
    m_thereHolds = Holds::RowAfter;
    m_thereBusy = true;
    m_thread->start([this, tolerance, step] { m_there.fit(tolerance, step); });
}

} // namespace mosaiq
