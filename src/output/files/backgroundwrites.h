#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace mosaiq {

// Bytes handed to the system on a thread of their own, a megabyte at a time, while the caller
// makes the next: a page written this way costs the time of the slower of the two, not their
// sum. Writes in order, all of them or up to the first failure.
class BackgroundWrites {
public:
    // Writes to descriptor, which stays open and the caller's. With startWriteback, the thread
    // also starts the disk writes of each block once the system has it (see PageFile). ahead:
    // the blocks the caller may hand over before it waits for the thread, at least one; more
    // for a caller whose bytes come in bursts larger than a block (the PNG's shares).
    explicit BackgroundWrites(int descriptor, bool startWriteback = false, int ahead = 1);
    // Writes what was added, then stops the thread.
    ~BackgroundWrites();
    BackgroundWrites(const BackgroundWrites&) = delete;
    BackgroundWrites& operator=(const BackgroundWrites&) = delete;

    // Adds bytes; a full block goes to the thread, once it has written the one before. False
    // once a write failed.
    bool add(std::string_view bytes);
    // Room for up to bytes bytes at the end of what was added, so that the caller makes them in
    // place rather than copying them; added by commitLent(). The memory stays as it is until
    // the next add() or lend(), even once the thread writes it. nullptr once a write failed.
    char* lend(std::size_t bytes);
    // Adds the first bytes of the room lent.
    bool commitLent(std::size_t bytes);
    // Hands over what was added and waits until the system has it all. False once a write
    // failed.
    bool finish();
    // The errno of the first failed write; 0 while none failed.
    int error();

private:
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
    };
    // Makes room for bytes more in the block being filled, handing it over first when full.
    bool makeRoom(std::size_t bytes);
    // Gives the block being filled to the thread (or writes it, without thread).
    bool handOver();
    // Writes block whole; the errno of the failure, or 0.
    int writeAll(const Block& block);
    void work();

    int m_descriptor;
    bool m_startWriteback;
    std::size_t m_ahead;
    long long m_written = 0; // the file offset of the thread's next block
    Block m_filling; // the caller's
    // Handed over and not written yet, in their order; the first is the thread's while it
    // writes it, and stays first until written, so that its bytes stay as they are.
    std::deque<Block> m_waiting;
    std::vector<Block> m_spare; // written, for the caller to fill again
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    int m_error = 0;
    std::thread m_thread;
};

} // namespace mosaiq
