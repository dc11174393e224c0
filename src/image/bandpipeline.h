#pragma once

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace mosaiq {

// Two bands of rows in turn between the caller, who fills one (a decoder writing rows), and a
// helper thread that finishes the other (converts its colours, puts it in place): the wall time
// of a read is then that of the slower of the two, not their sum. The helper finishes bands in
// the order they were handed over.
class BandPipeline {
public:
    // finish(slot, first, count): the work of the helper on slot 0 or 1, holding rows
    // first..first+count. isRunning() is false when no thread could be started: the caller
    // then finishes its bands itself.
    explicit BandPipeline(std::function<void(int slot, int first, int count)> finish);
    // Drops the bands not yet finished (a decode that failed halfway) and waits for the helper.
    ~BandPipeline();
    BandPipeline(const BandPipeline&) = delete;
    BandPipeline& operator=(const BandPipeline&) = delete;

    bool isRunning() const { return m_thread.joinable(); }

    // Waits until the band last handed over in slot is finished, so that it may be filled.
    void waitUntilFree(int slot);
    // Gives slot, filled with rows first..first+count, to the helper.
    void handOver(int slot, int first, int count);

private:
    void work();

    struct Band {
        bool full = false;
        int first = 0;
        int count = 0;
    };

    std::function<void(int, int, int)> m_finish;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::array<Band, 2> m_bands {};
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace mosaiq
