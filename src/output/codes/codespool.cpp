#include "output/codes/codespool.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace mosaiq {

namespace {

    // Written a few megabytes at a time: rows are far smaller, system calls not free.
    constexpr std::size_t BufferBytes = 4 << 20;

    bool writeAll(int descriptor, const char* bytes, std::size_t size, off_t at)
    {
        while (size > 0) {
            const ssize_t done = ::pwrite(descriptor, bytes, size, at);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                return false;
            bytes += done;
            size -= std::size_t(done);
            at += done;
        }
        return true;
    }

} // namespace

CodeSpool::CodeSpool(const std::string& directory, std::size_t room)
    : m_room(room)
{
    std::string pattern
        = (directory.empty() ? std::string(".") : directory) + "/.mosaiq-code-XXXXXX";
    m_descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_descriptor < 0)
        return;
    // Gone from the folder at once: the file lives as long as the descriptor or the mapping.
    ::unlink(pattern.c_str());
    m_buffer.reserve(BufferBytes);
    m_buffer.assign(room, ' ');
}

CodeSpool::~CodeSpool()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool CodeSpool::flush()
{
    if (!ok())
        return false;
    if (!writeAll(m_descriptor, m_buffer.data(), m_buffer.size(), off_t(m_written))) {
        m_failed = true;
        return false;
    }
    m_written += m_buffer.size();
    m_buffer.clear();
    return true;
}

bool CodeSpool::append(std::string_view bytes)
{
    if (!ok())
        return false;
    if (m_buffer.size() + bytes.size() > BufferBytes && !flush())
        return false;
    if (bytes.size() >= BufferBytes) {
        if (!writeAll(m_descriptor, bytes.data(), bytes.size(), off_t(m_written))) {
            m_failed = true;
            return false;
        }
        m_written += bytes.size();
        return true;
    }
    m_buffer.append(bytes);
    return true;
}

std::string CodeSpool::readBack(std::uint64_t length)
{
    std::string bytes(std::size_t(length), ' ');
    std::uint64_t done = 0;
    while (m_descriptor >= 0 && done < std::min(length, m_written)) {
        const ssize_t got = ::pread(m_descriptor, bytes.data() + done,
            std::size_t(std::min(length, m_written) - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += std::uint64_t(got);
    }
    // What was never written is still in the buffer.
    if (length > m_written) {
        const std::size_t fromBuffer
            = std::min<std::size_t>(m_buffer.size(), std::size_t(length - m_written));
        bytes.replace(std::size_t(m_written), fromBuffer, m_buffer, 0, fromBuffer);
    }
    return bytes;
}

std::optional<SharedCode> CodeSpool::map(
    std::string_view opening, std::string_view closing, SharedCode::LineStarts lineStarts)
{
    if (opening.size() > m_room || !append(closing) || !flush())
        return std::nullopt;
    const std::size_t start = m_room - opening.size();
    if (!writeAll(m_descriptor, opening.data(), opening.size(), off_t(start)))
        return std::nullopt;
    const auto length = std::size_t(m_written);
    void* bytes = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, m_descriptor, 0);
    if (bytes == MAP_FAILED)
        return std::nullopt;
    std::shared_ptr<const void> mapping(
        bytes, [length](const void* p) { ::munmap(const_cast<void*>(p), length); });
    return SharedCode(std::move(mapping),
        std::string_view(static_cast<const char*>(bytes) + start, length - start),
        std::move(lineStarts));
}

} // namespace mosaiq
