#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Memory of this process and every process it started (the web engine's helpers), as the
// system counts it when pages are shared: the sum of their proportional set sizes.
namespace processmemory {

inline std::vector<int> children(int pid)
{
    std::vector<int> result;
    std::ifstream tasks(
        "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    int child = 0;
    while (tasks >> child)
        result.push_back(child);
    return result;
}

// This process and its descendants.
inline std::vector<int> tree(int root = int(getpid()))
{
    std::vector<int> all { root };
    for (std::size_t i = 0; i < all.size(); ++i)
        for (int child : children(all[i]))
            all.push_back(child);
    return all;
}

// Kibibytes of PSS of one process, 0 once it is gone.
inline std::int64_t pssKiB(int pid)
{
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line))
        if (line.rfind("Pss:", 0) == 0) {
            std::istringstream fields(line.substr(4));
            std::int64_t kib = 0;
            fields >> kib;
            return kib;
        }
    return 0;
}

// Processor seconds one process has used, its threads together; 0 once it is gone.
inline double cpuSeconds(int pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold spaces: state is the first of them,
    // user and system time the 12th and 13th.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i)
        if (i >= 12)
            ticks += std::stod(field);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// Processor seconds used by this process and its descendants alive now. On a machine others
// keep busy, what a page costs shows better in this than in the wall clock.
inline double treeCpuSeconds()
{
    double total = 0;
    for (int pid : tree())
        total += cpuSeconds(pid);
    return total;
}

inline std::int64_t treePssKiB()
{
    std::int64_t total = 0;
    for (int pid : tree())
        total += pssKiB(pid);
    return total;
}

// The largest treePssKiB() seen, sampled every interval on a thread of its own, so that the
// samples go on while the window's thread is busy.
class PeakSampler {
public:
    explicit PeakSampler(std::chrono::milliseconds interval = std::chrono::milliseconds(50))
        : m_thread([this, interval] {
            while (!m_stop) {
                const std::int64_t now = treePssKiB();
                std::int64_t peak = m_peak;
                while (now > peak && !m_peak.compare_exchange_weak(peak, now)) { }
                std::this_thread::sleep_for(interval);
            }
        })
    {
    }
    ~PeakSampler()
    {
        m_stop = true;
        m_thread.join();
    }
    void reset() { m_peak = treePssKiB(); }
    double peakMiB() const { return double(m_peak) / 1024.0; }

private:
    std::atomic<bool> m_stop { false };
    std::atomic<std::int64_t> m_peak { 0 };
    std::thread m_thread;
};

} // namespace processmemory
