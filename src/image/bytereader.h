#pragma once

#include <cstddef>
#include <cstdint>

namespace mosaiq {

// Big-endian numbers read in order from a span of bytes; past its end each reads 0 and the span
// is spent, so that a short box or list ends its reading without a check at every field.
class ByteReader {
public:
    ByteReader(const unsigned char* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    // A number of bytes bytes (0 to 8).
    std::uint64_t number(unsigned bytes)
    {
        if (bytes > 8 || bytes > m_size - m_pos) {
            m_pos = m_size;
            m_failed = true;
            return 0;
        }
        std::uint64_t value = 0;
        for (unsigned i = 0; i < bytes; ++i)
            value = value << 8 | m_data[m_pos++];
        return value;
    }
    void skip(std::size_t bytes) { m_pos = bytes > m_size - m_pos ? m_size : m_pos + bytes; }
    bool failed() const { return m_failed; }
    const unsigned char* here() const { return m_data + m_pos; }
    std::size_t left() const { return m_size - m_pos; }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace mosaiq
