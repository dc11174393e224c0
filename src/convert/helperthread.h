#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace mosaiq {

// A second thread kept for one caller's repeated jobs: each job runs there while the caller does
// its own part, without a thread started and ended for every job.
class HelperThread {
public:
    HelperThread();
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Starts job on the thread; the one before must have been waited for.
    void start(std::function<void()> job);
    // Waits until the job is done; what it threw is thrown here.
    void wait();

private:
    void serve();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job;
    std::exception_ptr m_failure;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace mosaiq
