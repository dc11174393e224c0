#include "web/chunkstream.h"

#include <algorithm>
#include <cstring>

namespace mosaiq {

ChunkStream::ChunkStream(WebChannel channel, Output output, Room room)
    : m_channel(channel)
    , m_output(std::move(output))
    , m_room(channel == WebChannel::Post ? Room {} : std::move(room))
{
}

bool ChunkStream::fill(std::string_view& bytes)
{
    while (!bytes.empty()) {
        if (m_at == m_end) {
            flush();
            m_handed = m_at = m_room(m_channel);
            if (!m_at) {
                m_room = {};
                m_end = nullptr;
                return false;
            }
            m_end = m_at + RoomBytes;
        }
        const std::size_t part = std::min(bytes.size(), std::size_t(m_end - m_at));
        std::memcpy(m_at, bytes.data(), part);
        m_at += part;
        bytes.remove_prefix(part);
    }
    // Handed on as it fills, so that the page knows the outputs' sizes as the run goes.
    if (std::size_t(m_at - m_handed) >= ChunkBytes)
        flush();
    return true;
}

bool ChunkStream::append(std::string_view bytes)
{
    if (m_counting) {
        m_counted += bytes.size();
        if (m_counted >= ChunkBytes)
            flush();
        return true;
    }
    if (m_room && fill(bytes))
        return true;
    if (bytes.size() >= DirectBytes && m_channel != WebChannel::Post) {
        flush();
        m_output(m_channel, bytes.data(), bytes.size());
        return true;
    }
    if (m_held.capacity() < ChunkBytes)
        m_held.reserve(ChunkBytes + ChunkBytes / 4);
    m_held.append(bytes);
    if (m_held.size() >= ChunkBytes && m_channel != WebChannel::Post)
        flush();
    return true;
}

bool ChunkStream::post(std::string_view opening, std::string_view rows, std::string_view closing)
{
    append(opening);
    append(rows);
    append(closing);
    flush();
    return true;
}

void ChunkStream::flush()
{
    if (m_at != m_handed) {
        m_output(m_channel, m_handed, std::size_t(m_at - m_handed));
        m_handed = m_at;
    }
    if (m_counted > 0) {
        m_output(m_channel, nullptr, m_counted);
        m_counted = 0;
    }
    if (m_held.empty())
        return;
    m_output(m_channel, m_held.data(), m_held.size());
    m_held.clear();
}

void ChunkStream::countOnly()
{
    if (m_channel == WebChannel::Post || m_counting)
        return;
    flush();
    m_room = {};
    m_handed = m_at = m_end = nullptr;
    m_counting = true;
}

} // namespace mosaiq
