#include "convert/helperthread.h"

#include <utility>

namespace mosaiq {

HelperThread::HelperThread()
    : m_thread([this] { serve(); })
{
}

HelperThread::~HelperThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void HelperThread::start(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_job = std::move(job);
        m_failure = nullptr;
        m_busy = true;
    }
    m_changed.notify_all();
}

void HelperThread::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

void HelperThread::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_busy || m_stopping; });
        if (m_stopping)
            return;
        std::function<void()> job = std::move(m_job);
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_failure = failure;
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace mosaiq
