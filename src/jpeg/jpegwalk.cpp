#include "jpeg/jpegwalk.h"

#include <cstring>

namespace mosaiq {

namespace {

    // Bytes in memory as walkJpeg reads them: past the end a byte is -1, as on a file read
    // through a window.
    struct MemoryBytes {
        const std::uint8_t* data;
        std::int64_t length;

        int at(std::int64_t pos) const { return pos >= 0 && pos < length ? data[pos] : -1; }
        std::int64_t size() const { return length; }
        std::int64_t find(std::int64_t pos, char value) const
        {
            const void* found = pos >= 0 && pos < length ? std::memchr(data + pos,
                                    static_cast<unsigned char>(value), std::size_t(length - pos))
                                                         : nullptr;
            return found ? static_cast<const std::uint8_t*>(found) - data : -1;
        }
    };

} // namespace

JpegWalk walkJpeg(const std::uint8_t* data, std::size_t size)
{
    MemoryBytes bytes { data, std::int64_t(size) };
    return walkJpeg(bytes);
}

int exifOrientationOf(const std::uint8_t* data, std::size_t size)
{
    MemoryBytes bytes { data, std::int64_t(size) };
    return exifOrientationIn(bytes, 0, bytes.length);
}

} // namespace mosaiq
