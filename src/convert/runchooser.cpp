#include "convert/runchooser.h"

#include <algorithm>
#include <utility>

namespace mosaiq {

RunChooser::RunChooser(ColourForms forms)
    : m_slots { Slot(forms), Slot(forms), Slot(forms), Slot(forms) }
{
}

RunChooser::~RunChooser()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_waiting.notify_all();
    m_thread.join();
}

RunChooser::Slot* RunChooser::slotOf(std::uint64_t row)
{
    for (Slot& slot : m_slots) {
        if (slot.state != State::Free && slot.row == row)
            return &slot;
    }
    return nullptr;
}

RunChooser::Slot* RunChooser::freeSlot()
{
    const auto free = std::find_if(m_slots.begin(), m_slots.end(),
        [](const Slot& candidate) { return candidate.state == State::Free; });
    return free == m_slots.end() ? nullptr : &*free;
}

void RunChooser::give(
    Slot& slot, std::uint64_t row, std::span<const ColourValue> cells, double tolerance)
{
    slot.row = row;
    slot.tolerance = tolerance;
    slot.step = m_steps[row % 3];
    slot.failure = nullptr;
    slot.fitter.load(cells);
    slot.state = State::Waiting;
}

RunChooser::Slot* RunChooser::nextWaiting()
{
    Slot* next = nullptr;
    for (Slot& slot : m_slots) {
        if (slot.state == State::Waiting && (!next || slot.row < next->row))
            next = &slot;
    }
    return next;
}

void RunChooser::plan(Slot& slot, std::unique_lock<std::mutex>& lock)
{
    slot.state = State::Planning;
    lock.unlock();
    try {
        slot.fitter.fit(slot.tolerance, slot.step);
    } catch (...) {
        slot.failure = std::current_exception();
    }
    lock.lock();
    slot.state = State::Done;
    m_planned.notify_all();
}

void RunChooser::choose(std::span<ColourValue> colours, double tolerance,
    std::vector<std::uint32_t>& starts, std::vector<std::uint8_t>* nesting)
{
    std::unique_lock lock(m_mutex);
    Slot* slot = slotOf(m_row);
    // While the other core plans this row, this one plans the rows after it rather than wait.
    while (slot && slot->state == State::Planning) {
        if (Slot* ahead = nextWaiting())
            plan(*ahead, lock);
        else
            m_planned.wait(lock, [slot] { return slot->state != State::Planning; });
    }
    const auto held = slot ? slot->fitter.cells() : std::span<const ColourValue>();
    if (!slot || slot->failure || slot->tolerance != tolerance
        || !std::equal(held.begin(), held.end(), colours.begin(), colours.end())) {
        // Not planned ahead (or other cells came): planned here, in a slot no row ahead needs.
        // There is always one: at most two rows ahead and one left behind are busy.
        if (!slot)
            slot = freeSlot();
        give(*slot, m_row, colours, tolerance);
    }
    if (slot->state == State::Waiting)
        plan(*slot, lock);
    if (slot->failure) {
        slot->state = State::Free;
        std::rethrow_exception(std::exchange(slot->failure, nullptr));
    }
    slot->fitter.apply(colours, starts, nesting);
    m_steps[m_row % 3] = slot->fitter.step();
    slot->state = State::Free;
    ++m_row;
    // Rows given ahead that are now behind never come: their slots are freed once planned.
    for (Slot& other : m_slots) {
        if ((other.state == State::Waiting || other.state == State::Done) && other.row < m_row)
            other.state = State::Free;
    }
}

void RunChooser::planAhead(
    std::span<const ColourValue> cells, double tolerance, std::uint64_t after)
{
    // The row three before must be chosen for its step.
    if (after < 1 || after > RowsAhead)
        return;
    const std::uint64_t row = m_row + after;
    std::unique_lock lock(m_mutex);
    Slot* slot = slotOf(row);
    if (slot && slot->state == State::Planning)
        return;
    // The slots may all be taken by rows still planning: the row is then planned when chosen.
    if (!slot && !(slot = freeSlot()))
        return;
    give(*slot, row, cells, tolerance);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { serve(); });
    lock.unlock();
    m_waiting.notify_one();
}

void RunChooser::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        Slot* next = nullptr;
        m_waiting.wait(lock, [this, &next] {
            next = nextWaiting();
            return next || m_stopping;
        });
        if (m_stopping)
            return;
        plan(*next, lock);
    }
}

} // namespace mosaiq
