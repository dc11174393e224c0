#include "output/files/backgroundwrites.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace mosaiq {

namespace {

    constexpr std::size_t BlockBytes = std::size_t(1) << 20;

} // namespace

BackgroundWrites::BackgroundWrites(int descriptor, bool startWriteback, int ahead)
    : m_descriptor(descriptor)
    , m_startWriteback(startWriteback)
    , m_ahead(std::size_t(std::max(ahead, 1)))
{
    if (m_startWriteback)
        m_written = ::lseek(m_descriptor, 0, SEEK_CUR);
    if (m_written < 0)
        m_startWriteback = false;
    try {
        m_thread = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        // Without a thread the caller writes its blocks itself.
    }
}

BackgroundWrites::~BackgroundWrites()
{
    finish();
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
}

bool BackgroundWrites::add(std::string_view bytes)
{
    if (!makeRoom(bytes.size()))
        return false;
    if (!bytes.empty())
        std::memcpy(m_filling.data.get() + m_filling.size, bytes.data(), bytes.size());
    return commitLent(bytes.size());
}

char* BackgroundWrites::lend(std::size_t bytes)
{
    return makeRoom(bytes) ? m_filling.data.get() + m_filling.size : nullptr;
}

bool BackgroundWrites::commitLent(std::size_t bytes)
{
    m_filling.size += bytes;
    if (m_filling.size >= BlockBytes)
        return handOver();
    return error() == 0;
}

bool BackgroundWrites::makeRoom(std::size_t bytes)
{
    if (m_filling.capacity - m_filling.size >= bytes)
        return error() == 0;
    if (m_filling.size > 0 && !handOver())
        return false;
    if (m_filling.capacity < std::max(bytes, BlockBytes)) {
        // A line longer than a block has a block of its own size.
        m_filling.data.reset(new char[std::max(bytes, BlockBytes)]); // uninitialised
        m_filling.capacity = std::max(bytes, BlockBytes);
    }
    return error() == 0;
}

bool BackgroundWrites::finish()
{
    if (m_filling.size > 0 && !handOver())
        return false;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.empty(); });
    return m_error == 0;
}

int BackgroundWrites::error()
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

bool BackgroundWrites::handOver()
{
    if (!m_thread.joinable()) {
        if (m_error == 0)
            m_error = writeAll(m_filling);
        m_filling.size = 0;
        return m_error == 0;
    }
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting.size() < m_ahead; });
        if (m_error != 0) {
            m_filling.size = 0;
            return false;
        }
        m_waiting.push_back(std::move(m_filling));
        m_filling = Block();
        // A block already written is filled again rather than a new one made.
        if (!m_spare.empty()) {
            m_filling = std::move(m_spare.back());
            m_spare.pop_back();
        }
    }
    m_changed.notify_all();
    m_filling.size = 0;
    return true;
}

int BackgroundWrites::writeAll(const Block& block)
{
    std::size_t done = 0;
    while (done < block.size) {
        const ssize_t written = ::write(m_descriptor, block.data.get() + done, block.size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 && errno ? errno : EIO;
        done += std::size_t(written);
    }
    return 0;
}

void BackgroundWrites::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_waiting.empty() || m_stop; });
        if (m_waiting.empty())
            return;
        const Block& block = m_waiting.front();
        // Past a failure, the blocks still waiting are dropped: the file ends where it failed.
        const bool failed = m_error != 0;
        lock.unlock();
        const int error = failed ? 0 : writeAll(block);
        if (m_startWriteback && !failed && error == 0) {
            // Only a start: nothing waits for the disk, and a file system that cannot tell
            // leaves the block to its usual writeback.
            ::sync_file_range(m_descriptor, m_written, off_t(block.size), SYNC_FILE_RANGE_WRITE);
            m_written += (long long)block.size;
        }
        lock.lock();
        if (m_error == 0)
            m_error = error;
        m_spare.push_back(std::move(m_waiting.front()));
        m_spare.back().size = 0;
        m_waiting.pop_front();
        m_changed.notify_all();
    }
}

} // namespace mosaiq
