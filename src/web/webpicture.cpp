#include "web/webpicture.h"

#include "image/pngchunkcolours.h"
#include "jpeg/jpegwalk.h"
#include "jpeg/plainjpeg.h"
#include "web/webconversion.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

// stb_image from Debian's libstb-dev, compiled here for the formats the module reads itself.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#include <stb_image.h>

namespace mosaiq {

namespace {

    using Reader = WebPictureHead::Reader;

    // The file's bytes, read as the picture reader reads them through a device: -1 and zeros
    // past the end.
    struct Bytes {
        const std::uint8_t* data;
        std::int64_t size;

        int at(std::int64_t pos) const { return pos >= 0 && pos < size ? data[pos] : -1; }
        std::uint32_t u16(std::int64_t pos, bool big) const
        {
            const std::uint32_t a = byte(pos), b = byte(pos + 1);
            return big ? a << 8 | b : b << 8 | a;
        }
        std::uint32_t u32(std::int64_t pos, bool big) const
        {
            return big ? u16(pos, true) << 16 | u16(pos + 2, true)
                       : u16(pos + 2, false) << 16 | u16(pos, false);
        }
        bool holds(std::int64_t pos, const char* text) const
        {
            const auto length = std::int64_t(std::strlen(text));
            return pos >= 0 && pos + length <= size && std::memcmp(data + pos, text, length) == 0;
        }
        std::uint32_t byte(std::int64_t pos) const { return std::uint32_t(std::max(at(pos), 0)); }
    };

    WebPictureHead module(int width, int height)
    {
        if (width <= 0 || height <= 0)
            return { Reader::Damaged };
        return { Reader::Module, width, height };
    }

    // libpng refuses a critical chunk whose check value does not match, as mosaiq-cli's reader
    // does through it; stb_image does not look.
    bool crcHolds(const Bytes& b, std::int64_t chunk, std::int64_t length)
    {
        static const auto table = [] {
            std::array<std::uint32_t, 256> t {};
            for (std::uint32_t n = 0; n < 256; ++n) {
                std::uint32_t c = n;
                for (int k = 0; k < 8; ++k)
                    c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                t[n] = c;
            }
            return t;
        }();
        std::uint32_t crc = 0xFFFFFFFFu;
        for (std::int64_t i = chunk + 4; i < chunk + 8 + length; ++i)
            crc = table[(crc ^ b.data[i]) & 0xFF] ^ (crc >> 8);
        return (crc ^ 0xFFFFFFFFu) == b.u32(chunk + 8 + length, true);
    }

    // The picture reader's walk through a PNG's chunks (picturefacts): a chunk longer than the
    // rest of the file is a cut file; a profile, or chunks that describe other colours, ask for a
    // conversion, which the browser makes.
    WebPictureHead pngHead(const Bytes& b)
    {
        bool srgb = false, profile = false;
        double gamma = 0;
        std::array<double, 8> chromaticities {};
        for (std::int64_t pos = 8; pos + 8 <= b.size;) {
            const std::int64_t length = b.u32(pos, true);
            if (b.holds(pos + 4, "IEND"))
                break;
            if (pos + 12 + length > b.size)
                return { Reader::Damaged };
            const bool critical = b.at(pos + 4) >= 'A' && b.at(pos + 4) <= 'Z';
            if (critical && !crcHolds(b, pos, length))
                return { Reader::Damaged };
            if (b.holds(pos + 4, "iCCP"))
                profile = true;
            else if (b.holds(pos + 4, "sRGB"))
                srgb = true;
            else if (b.holds(pos + 4, "gAMA") && length == 4)
                gamma = b.u32(pos + 8, true) / 100000.0;
            else if (b.holds(pos + 4, "cHRM") && length == 32) {
                for (std::size_t i = 0; i < 8; ++i)
                    chromaticities[i] = b.u32(pos + 8 + 4 * std::int64_t(i), true) / 100000.0;
            }
            pos += 12 + length;
        }
        if (profile || (!srgb && !pngChunkColours(gamma, chromaticities).asIs))
            return { Reader::Browser };
        if (!b.holds(12, "IHDR"))
            return { Reader::Damaged };
        return module(int(b.u32(16, true)), int(b.u32(20, true)));
    }

    // The picture reader's walk through a GIF (picturefacts): its first frame must end with its
    // terminator; a profile (an ICCRGBG1 extension) asks for a conversion.
    WebPictureHead gifHead(const Bytes& b)
    {
        auto skipColourTable = [&](std::int64_t& pos, int flags) {
            if (flags & 0x80)
                pos += 3 * (std::int64_t(2) << (flags & 7));
        };
        auto skipSubBlocks = [&](std::int64_t& pos) {
            for (;;) {
                const int length = b.at(pos++);
                if (length < 0)
                    return false;
                if (length == 0)
                    return true;
                pos += length;
            }
        };
        std::int64_t pos = 13;
        skipColourTable(pos, b.at(10));
        for (;;) {
            const int block = b.at(pos++);
            if (block == 0x21) {
                if (b.at(pos) == 0xFF && b.at(pos + 1) == 11 && b.holds(pos + 2, "ICCRGBG1012"))
                    return { Reader::Browser };
                ++pos;
                if (!skipSubBlocks(pos))
                    break;
            } else if (block == 0x2C) {
                const int flags = b.at(pos + 8);
                if (flags < 0)
                    break;
                pos += 9;
                skipColourTable(pos, flags);
                ++pos;
                if (!skipSubBlocks(pos))
                    break;
                return module(int(b.u16(6, false)), int(b.u16(8, false)));
            } else {
                break;
            }
        }
        return { Reader::Damaged };
    }

    // The bits of each channel of a BMP packed in fewer than 8 (picturefacts): mosaiq-cli
    // stretches them to the full 0-255 range by rounding, where stb_image repeats their bits.
    std::array<int, 4> packedBits(const Bytes& b)
    {
        const std::uint32_t infoSize = b.u32(14, false), bitCount = b.u16(28, false);
        const std::uint32_t compression = b.u32(30, false);
        const bool bitFields = compression == 3 || compression == 6;
        std::array<std::uint32_t, 4> masks {};
        if (bitCount == 16 && compression == 0) {
            masks = { 0x7C00, 0x03E0, 0x001F, 0 };
        } else if ((bitCount == 16 || bitCount == 32) && bitFields) {
            for (std::size_t i = 0; i < 4; ++i)
                masks[i] = b.u32(14 + 40 + 4 * std::int64_t(i), false);
            if (infoSize < 56 && compression == 3)
                masks[3] = 0;
        }
        std::array<int, 4> bits {};
        for (std::size_t i = 0; i < 4; ++i) {
            const int n = __builtin_popcount(masks[i]);
            bits[i] = n > 0 && n < 8 ? n : 0;
        }
        return bits;
    }

    // A BMP: its pixels must all be there (picturefacts); an embedded profile asks for a
    // conversion; run-length data and the OS/2 header are the browser's.
    WebPictureHead bmpHead(const Bytes& b)
    {
        const std::uint32_t offset = b.u32(10, false), infoSize = b.u32(14, false);
        if (b.size < 34 || infoSize < 40)
            return { Reader::Browser };
        constexpr std::uint32_t Embedded = 0x4D424544; // 'MBED'
        if (infoSize >= 124 && b.u32(14 + 56, false) == Embedded)
            return { Reader::Browser };
        const auto width = std::int64_t(std::int32_t(b.u32(18, false)));
        const auto height = std::abs(std::int64_t(std::int32_t(b.u32(22, false))));
        const std::uint32_t bitCount = b.u16(28, false), compression = b.u32(30, false);
        const bool bitFields = compression == 3 || compression == 6;
        if ((compression != 0 && !bitFields) || width <= 0 || height <= 0
            || width > 0x7FFFFFFF / 32)
            return { Reader::Browser };
        const std::int64_t rowBytes = (width * bitCount + 31) / 32 * 4;
        if (rowBytes <= 0 || offset > b.size || height > (b.size - offset) / rowBytes)
            return { Reader::Damaged };
        return module(int(width), int(std::min<std::int64_t>(height, 0x7FFFFFFF)));
    }

    // The 8-bit level of a 16-bit one, rounded as Qt's reader converts it (x / 257).
    std::uint8_t rounded(std::uint16_t level)
    {
        return std::uint8_t((level - (level >> 8) + 0x80) >> 8);
    }

    bool isPng(const Bytes& b)
    {
        return b.holds(0, "\x89PNG\r\n\x1A\n");
    }
    bool isGif(const Bytes& b)
    {
        return b.holds(0, "GIF87a") || b.holds(0, "GIF89a");
    }
    bool isBmp(const Bytes& b)
    {
        return b.holds(0, "BM");
    }
    bool isJpeg(const Bytes& b)
    {
        return b.at(0) == 0xFF && b.at(1) == 0xD8 && b.at(2) == 0xFF;
    }

    struct StbFree {
        void operator()(void* pixels) const { stbi_image_free(pixels); }
    };

} // namespace

WebPictureHead webPictureHead(const std::uint8_t* data, std::size_t size)
{
    const Bytes b { data, std::int64_t(size) };
    if (isPng(b))
        return pngHead(b);
    if (isGif(b))
        return gifHead(b);
    if (isBmp(b))
        return bmpHead(b);
    if (isJpeg(b)) {
        const JpegWalk walk = walkJpeg(data, size);
        if (walk.cutShort)
            return { Reader::Damaged };
        if (walk.profile || (walk.components != 1 && walk.components != 3))
            return { Reader::Browser };
        int width = 0, height = 0;
        if (!plainJpegSize(data, size, walk.exifOrientation, width, height))
            return { Reader::Damaged };
        WebPictureHead head = module(width, height);
        head.bands = walk.exifOrientation <= 2;
        return head;
    }
    return {};
}

bool decodeWebPicture(
    const std::uint8_t* data, std::size_t size, std::uint32_t* pixels, PictureOpacity* opacity)
{
    const Bytes b { data, std::int64_t(size) };
    const WebPictureHead head = webPictureHead(data, size);
    if (head.reader != Reader::Module)
        return false;
    const std::size_t count = std::size_t(head.width) * std::size_t(head.height);
    if (isJpeg(b))
        return decodePlainJpeg(data, size, walkJpeg(data, size).exifOrientation, pixels);
    if (size > std::size_t(INT32_MAX))
        return false;
    int width = 0, height = 0, channels = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(pixels);
    if (isPng(b) && b.at(24) == 16) {
        const std::unique_ptr<std::uint16_t, StbFree> wide(
            stbi_load_16_from_memory(data, int(size), &width, &height, &channels, 4));
        if (!wide || width != head.width || height != head.height)
            return false;
        for (std::size_t i = 0; i < 4 * count; ++i)
            bytes[i] = rounded(wide.get()[i]);
    } else {
        const std::unique_ptr<stbi_uc, StbFree> rgba(
            stbi_load_from_memory(data, int(size), &width, &height, &channels, 4));
        if (!rgba || width != head.width || height != head.height)
            return false;
        std::memcpy(bytes, rgba.get(), 4 * count);
    }
    if (isBmp(b)) {
        const std::array<int, 4> bits = packedBits(b);
        for (std::size_t channel = 0; channel < 4; ++channel) {
            const int n = bits[channel];
            if (n == 0)
                continue;
            const int max = (1 << n) - 1;
            for (std::size_t i = channel; i < 4 * count; i += 4)
                bytes[i] = std::uint8_t(((bytes[i] >> (8 - n)) * 255 + max / 2) / max);
        }
    }
    if (opacity)
        opacity->keep(pixels, 0, count);
    flattenRgba(pixels, count);
    return true;
}

void PictureOpacity::reset(std::size_t pixels)
{
    m_plane.reset();
    m_pixels = pixels;
    m_lost = false;
}

std::uint8_t* PictureOpacity::made()
{
    if (!m_plane) {
        // malloc, not new: the module has no exceptions to say that memory was refused.
        auto* bytes = static_cast<std::uint8_t*>(std::malloc(std::max<std::size_t>(m_pixels, 1)));
        if (!bytes) {
            m_lost = true;
            return nullptr;
        }
        std::memset(bytes, 255, m_pixels);
        m_plane = std::shared_ptr<std::uint8_t[]>(bytes, std::free);
    }
    return m_plane.get();
}

void PictureOpacity::keep(const std::uint32_t* rgba, std::size_t first, std::size_t count)
{
    count = first < m_pixels ? std::min(count, m_pixels - first) : 0;
    std::size_t i = 0;
    if (!m_plane) {
        while (i < count && rgba[i] >> 24 == 255)
            ++i;
        if (i == count || m_lost || !made())
            return;
    }
    std::uint8_t* out = m_plane.get() + first;
    for (; i < count; ++i)
        out[i] = std::uint8_t(rgba[i] >> 24);
}

} // namespace mosaiq
