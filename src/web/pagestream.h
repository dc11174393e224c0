#pragma once

#include "convert/rowloop.h"
#include "web/chunkstream.h"

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
        return true;
    }

private:
    ChunkStream& m_stream;
};

} // namespace mosaiq
