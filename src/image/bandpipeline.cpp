#include "image/bandpipeline.h"

#include <system_error>

namespace mosaiq {

BandPipeline::BandPipeline(std::function<void(int slot, int first, int count)> finish)
    : m_finish(std::move(finish))
{
    try {
        m_thread = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        // Out of threads: the caller works alone, as slowly as before.
    }
}

BandPipeline::~BandPipeline()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BandPipeline::waitUntilFree(int slot)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_bands[size_t(slot)].full; });
}

void BandPipeline::handOver(int slot, int first, int count)
{
    {
        const std::lock_guard lock(m_mutex);
        m_bands[size_t(slot)] = { true, first, count };
    }
    m_changed.notify_all();
}

void BandPipeline::work()
{
    int slot = 0;
    for (;;) {
        Band band;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || m_bands[size_t(slot)].full; });
            if (m_stop)
                return;
            band = m_bands[size_t(slot)];
        }
        m_finish(slot, band.first, band.count);
        {
            const std::lock_guard lock(m_mutex);
            m_bands[size_t(slot)].full = false;
        }
        m_changed.notify_all();
        slot ^= 1;
    }
}

} // namespace mosaiq
