#include "jpeg/jpegwalk.h"

#include <cstring>
#include <string_view>

namespace mosaiq {

namespace {

    // Bounded reads: past the end a byte is -1 and a number 0, as the reader's own walk has it.
    struct Bytes {
        const std::uint8_t* data;
        std::int64_t size;

        int at(std::int64_t pos) const { return pos >= 0 && pos < size ? data[pos] : -1; }
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
        bool startsWith(std::int64_t pos, std::string_view text) const
        {
            return pos >= 0 && pos + std::int64_t(text.size()) <= size
                && std::memcmp(data + pos, text.data(), text.size()) == 0;
        }
    };

    // The orientation tag of the first directory of a TIFF-structured EXIF block.
    int orientationOf(Bytes block)
    {
        if (block.startsWith(0, std::string_view("Exif\0\0", 6)))
            block = { block.data + 6, block.size - 6 };
        const bool big = block.startsWith(0, "MM");
        if (!big && !block.startsWith(0, "II"))
            return 1;
        const std::int64_t directory = block.u32(4, big);
        const std::uint32_t count = block.u16(directory, big);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::int64_t at = directory + 2 + 12 * std::int64_t(i);
            if (at + 12 > block.size)
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

} // namespace

JpegWalk walkJpeg(const std::uint8_t* data, std::size_t size)
{
    JpegWalk walk;
    const Bytes bytes { data, std::int64_t(size) };
    bool sawExif = false;
    std::int64_t pos = 2; // after the start-of-image marker
    for (;;) {
        const void* found
            = pos < bytes.size ? std::memchr(data + pos, 0xFF, size_t(bytes.size - pos)) : nullptr;
        if (!found)
            break;
        pos = static_cast<const std::uint8_t*>(found) - data;
        int marker = bytes.at(pos + 1);
        while (marker == 0xFF) // fill bytes before a marker
            marker = bytes.at(++pos + 1);
        if (marker < 0)
            break;
        pos += 2;
        if (marker == 0xD9) // end of image
            return walk;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue; // stuffed byte, TEM or restart: no length follows
        const std::int64_t length = bytes.u16(pos, true);
        if (length < 2 || pos + length > bytes.size)
            break;
        const std::int64_t body = pos + 2;
        if (marker == 0xE2 && bytes.startsWith(body, std::string_view("ICC_PROFILE\0", 12))) {
            walk.profile = true;
        } else if (marker == 0xE1 && !sawExif && length > 8
            && bytes.startsWith(body, std::string_view("Exif\0\0", 6))) {
            sawExif = true;
            walk.exifOrientation = orientationOf({ data + body + 6, length - 8 });
        } else if (marker == 0xEE && length >= 7 && bytes.startsWith(body, "Adobe")) {
            walk.adobe = true;
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
            && marker != 0xCC && length >= 8) {
            walk.components = bytes.at(body + 5);
        }
        pos += length;
        // After a scan header comes entropy-coded data, which the next marker ends; the search
        // above skips it, stuffed bytes and restart markers included.
    }
    walk.cutShort = true;
    return walk;
}

} // namespace mosaiq
