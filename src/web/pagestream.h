#pragma once

#include "convert/rowloop.h"
#include "web/chunkstream.h"

#include <cstdint>

namespace mosaiq {

// The page as the page file holds it: each line followed by CR LF.
class PageStream : public PageSink {
public:
    explicit PageStream(ChunkStream& stream)
        : m_stream(stream)
    {
    }
    bool writeLine(std::string_view line) override
    {
        m_stream.append(line);
        m_stream.append("\r\n");
        m_written += line.size() + 2;
        return true;
    }
    // The bytes of the page so far.
    std::uint64_t written() const { return m_written; }

private:
    ChunkStream& m_stream;
    std::uint64_t m_written = 0;
};

} // namespace mosaiq
