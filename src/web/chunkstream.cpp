#include "web/chunkstream.h"

namespace mosaiq {

ChunkStream::ChunkStream(WebChannel channel, Output output)
    : m_channel(channel)
    , m_output(std::move(output))
{
}

void ChunkStream::append(std::string_view bytes)
{
    if (bytes.size() >= DirectBytes && m_channel != WebChannel::Post) {
        flush();
        m_output(m_channel, bytes);
        return;
    }
    if (m_held.capacity() < ChunkBytes)
        m_held.reserve(ChunkBytes + ChunkBytes / 4);
    m_held.append(bytes);
    if (m_held.size() >= ChunkBytes)
        flush();
}

void ChunkStream::flush()
{
    if (m_held.empty())
        return;
    m_output(m_channel, m_held);
    m_held.clear();
}

} // namespace mosaiq
