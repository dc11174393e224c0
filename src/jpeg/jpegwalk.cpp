#include "jpeg/jpegwalk.h"

#include "jpeg/jpegmarkers.h"

#include <cstring>
#include <string_view>

namespace mosaiq {

namespace {

    // Bounded reads: past the end a byte is -1 and a number 0, as the reader's own walk has it.
    struct Bytes {
        const std::uint8_t* data;
        std::int64_t length;

        int at(std::int64_t pos) const { return pos >= 0 && pos < length ? data[pos] : -1; }
        std::uint32_t u16(std::int64_t pos, bool big) const
        {
            const int a = at(pos), b = at(pos + 1);
            if (a < 0 || b < 0)
                return 0;
            return big ? std::uint32_t(a << 8 | b) : std::uint32_t(b << 8 | a);
        }
        std::uint32_t u32(std::int64_t pos, bool big) const
        {
            const std::uint32_t a = u16(pos, big), b = u16(pos + 2, big);
            return big ? a << 16 | b : b << 16 | a;
        }
        std::int64_t size() const { return length; }
        std::int64_t find(std::int64_t pos, char value) const
        {
            const void* found = pos >= 0 && pos < length ? std::memchr(data + pos,
                                    static_cast<unsigned char>(value), std::size_t(length - pos))
                                                         : nullptr;
            return found ? static_cast<const std::uint8_t*>(found) - data : -1;
        }
        bool startsWith(std::int64_t pos, std::string_view text) const
        {
            return pos >= 0 && pos + std::int64_t(text.size()) <= length
                && std::memcmp(data + pos, text.data(), text.size()) == 0;
        }
    };

} // namespace

JpegWalk walkJpeg(const std::uint8_t* data, std::size_t size)
{
    JpegWalk walk;
    Bytes bytes { data, std::int64_t(size) };
    bool sawExif = false;
    walk.cutShort
        = !walkJpegMarkers(bytes, [&](int marker, std::int64_t body, std::int64_t length) {
              if (marker == 0xE2 && bytes.startsWith(body, std::string_view("ICC_PROFILE\0", 12))) {
                  walk.profile = true;
              } else if (marker == 0xE1 && !sawExif && length > 6
                  && bytes.startsWith(body, std::string_view("Exif\0\0", 6))) {
                  sawExif = true;
                  walk.exifOrientation = exifOrientationOf(data + body, std::size_t(length));
              } else if (marker == 0xEE && length >= 5 && bytes.startsWith(body, "Adobe")) {
                  walk.adobe = true;
              } else if (isJpegFrameMarker(marker) && length >= 6) {
                  walk.components = bytes.at(body + 5);
              }
          });
    return walk;
}

int exifOrientationOf(const std::uint8_t* data, std::size_t size)
{
    Bytes block { data, std::int64_t(size) };
    if (block.startsWith(0, std::string_view("Exif\0\0", 6)))
        block = { block.data + 6, block.length - 6 };
    const bool big = block.startsWith(0, "MM");
    if (!big && !block.startsWith(0, "II"))
        return 1;
    const std::int64_t directory = block.u32(4, big);
    const std::uint32_t count = block.u16(directory, big);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int64_t at = directory + 2 + 12 * std::int64_t(i);
        if (at + 12 > block.length)
            break;
        if (block.u16(at, big) != 0x0112)
            continue;
        const std::uint32_t type = block.u16(at + 2, big);
        const std::uint32_t value = type == 3 && block.u32(at + 4, big) == 1
            ? block.u16(at + 8, big)
            : block.u32(at + 8, big);
        return type == 3 && value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

} // namespace mosaiq
