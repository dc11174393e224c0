#include "cli/pngfile.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

namespace mosaiq {

namespace {

    constexpr int Bpp = 3; // bytes a pixel: RGB
    // The fastest level: large flat areas of background pack nearly as well.
    constexpr int Level = 1;
    // The filtered bytes packed as one piece: large enough that restarting the compressor's
    // window costs nothing visible, small enough to give every core its share of a strip.
    constexpr std::int64_t ShareBytes = std::int64_t(2) << 20;

    void putBigEndian(std::uint8_t* out, std::uint32_t value)
    {
        out[0] = std::uint8_t(value >> 24);
        out[1] = std::uint8_t(value >> 16);
        out[2] = std::uint8_t(value >> 8);
        out[3] = std::uint8_t(value);
    }

    // Format_RGB32 words (0xffRRGGBB) to R, G, B bytes.
    void toRgb(const std::uint8_t* words, std::int64_t width, std::uint8_t* rgb)
    {
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(words);
        for (std::int64_t x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[x];
            rgb[0] = std::uint8_t(p >> 16);
            rgb[1] = std::uint8_t(p >> 8);
            rgb[2] = std::uint8_t(p);
            rgb += Bpp;
        }
    }

    int paeth(int a, int b, int c)
    {
        const int p = a + b - c;
        const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }

    // line filtered with filter (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth) into out.
    void filterLine(int filter, const std::uint8_t* line, const std::uint8_t* above,
        std::uint8_t* out, std::size_t size)
    {
        switch (filter) {
        case 0:
            std::memcpy(out, line, size);
            break;
        case 1:
            std::memcpy(out, line, Bpp);
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = std::uint8_t(line[i] - line[i - Bpp]);
            break;
        case 2:
            for (std::size_t i = 0; i < size; ++i)
                out[i] = std::uint8_t(line[i] - above[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < Bpp; ++i)
                out[i] = std::uint8_t(line[i] - (above[i] >> 1));
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = std::uint8_t(line[i] - ((line[i - Bpp] + above[i]) >> 1));
            break;
        default:
            for (std::size_t i = 0; i < Bpp; ++i)
                out[i] = std::uint8_t(line[i] - above[i]);
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = std::uint8_t(line[i] - paeth(line[i - Bpp], above[i], above[i - Bpp]));
            break;
        }
    }

    std::uint64_t signedSum(const std::uint8_t* bytes, std::size_t size)
    {
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < size; ++i)
            sum += bytes[i] < 128 ? bytes[i] : 256 - bytes[i];
        return sum;
    }

    // Filters line as libpng does by default: with the filter whose bytes, read as signed, have
    // the smallest sum, the first in order on a tie. best receives the filter's number, then the
    // bytes; candidate is room for the others.
    void filterBest(const std::uint8_t* line, const std::uint8_t* above,
        std::vector<std::uint8_t>& best, std::vector<std::uint8_t>& candidate)
    {
        const std::size_t size = best.size() - 1;
        std::uint64_t bestSum = UINT64_MAX;
        for (int filter = 0; filter < 5; ++filter) {
            candidate[0] = std::uint8_t(filter);
            filterLine(filter, line, above, candidate.data() + 1, size);
            const std::uint64_t sum = signedSum(candidate.data() + 1, size);
            if (sum < bestSum) {
                bestSum = sum;
                best.swap(candidate);
            }
        }
    }

} // namespace

PngFile::PngFile(PageFile& file, unsigned threads)
    : m_file(file)
    , m_threads(threads ? threads : std::max(1u, std::thread::hardware_concurrency()))
{
}

bool PngFile::writeChunk(const char* type, const std::uint8_t* data, std::size_t size)
{
    std::uint8_t head[8];
    putBigEndian(head, std::uint32_t(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size)
        crc = crc32_z(crc, data, size);
    std::uint8_t tail[4];
    putBigEndian(tail, std::uint32_t(crc));
    auto bytes = [](const std::uint8_t* p, std::size_t n) {
        return std::string_view(reinterpret_cast<const char*>(p), n);
    };
    if (!m_file.write(bytes(head, 8)) || (size && !m_file.write(bytes(data, size)))
        || !m_file.write(bytes(tail, 4)))
        m_failed = true;
    return !m_failed;
}

bool PngFile::begin(std::int64_t width, std::int64_t height)
{
    if (m_failed || width < 1 || height < 1 || width > LargestSide || height > LargestSide)
        return false;
    static constexpr std::uint8_t Signature[8] = { 137, 'P', 'N', 'G', '\r', '\n', 26, '\n' };
    if (!m_file.write(std::string_view(reinterpret_cast<const char*>(Signature), 8))) {
        m_failed = true;
        return false;
    }
    std::uint8_t header[13] = {};
    putBigEndian(header, std::uint32_t(width));
    putBigEndian(header + 4, std::uint32_t(height));
    header[8] = 8; // bits a sample
    header[9] = 2; // RGB
    // The zlib stream's own header opens the first IDAT: deflate, 32 KiB window, fastest level.
    static constexpr std::uint8_t ZlibHeader[2] = { 0x78, 0x01 };
    if (!writeChunk("IHDR", header, sizeof header) || !writeChunk("IDAT", ZlibHeader, 2))
        return false;
    m_width = width;
    m_height = height;
    m_lastLine.assign(std::size_t(width * Bpp), 0);
    return true;
}

void PngFile::pack(Share& share, const std::uint8_t* first, std::int64_t stride, int begin, int end,
    const std::uint8_t* above) const
{
    const auto size = std::size_t(m_width * Bpp);
    std::vector<std::uint8_t> line(size);
    std::vector<std::uint8_t> previous(above, above + size);
    std::vector<std::uint8_t> out(size + 1);
    std::vector<std::uint8_t> candidate(size + 1);
    z_stream z = {};
    if (deflateInit2(&z, Level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        share.failed = true;
        return;
    }
    share.packed.resize(std::size_t(deflateBound(&z, uLong(size + 1) * uLong(end - begin))) + 16);
    z.next_out = share.packed.data();
    z.avail_out = uInt(share.packed.size());
    uLong adler = adler32(0, nullptr, 0);
    for (int row = begin; row < end; ++row) {
        toRgb(first + std::int64_t(row) * stride, m_width, line.data());
        filterBest(line.data(), previous.data(), out, candidate);
        adler = adler32_z(adler, out.data(), out.size());
        z.next_in = out.data();
        z.avail_in = uInt(out.size());
        // Each share ends on a byte boundary after an empty stored block: the shares join up.
        if (deflate(&z, row + 1 == end ? Z_SYNC_FLUSH : Z_NO_FLUSH) != Z_OK || z.avail_in != 0) {
            share.failed = true;
            break;
        }
        previous.swap(line);
    }
    share.packed.resize(share.packed.size() - z.avail_out);
    share.adler = std::uint32_t(adler);
    share.length = std::int64_t(out.size()) * (end - begin);
    deflateEnd(&z);
}

bool PngFile::writeLines(const std::uint8_t* first, std::int64_t stride, int count)
{
    if (m_failed || m_height == 0 || count < 1 || m_written + count > m_height)
        return false;
    // Shares of a fixed size, whatever the threads: the file is the same on every machine.
    const int perShare = int(std::max<std::int64_t>(1, ShareBytes / (m_width * Bpp + 1)));
    const int shares = (count + perShare - 1) / perShare;
    auto parts = std::vector<Share>(std::size_t(shares));
    std::atomic<int> next { 0 };
    auto packShares = [&] {
        for (int s = next++; s < shares; s = next++) {
            const int begin = s * perShare;
            const int end = std::min(count, begin + perShare);
            // The line above the share's first, as RGB: the last of the previous batch for the
            // first share.
            std::vector<std::uint8_t> above = m_lastLine;
            if (begin > 0)
                toRgb(first + std::int64_t(begin - 1) * stride, m_width, above.data());
            pack(parts[std::size_t(s)], first, stride, begin, end, above.data());
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < std::min<unsigned>(m_threads, unsigned(shares)); ++t)
        helpers.emplace_back(packShares);
    packShares();
    for (auto& helper : helpers)
        helper.join();
    for (const Share& share : parts) {
        if (share.failed || !writeChunk("IDAT", share.packed.data(), share.packed.size())) {
            m_failed = true;
            return false;
        }
        m_adler = std::uint32_t(adler32_combine(m_adler, share.adler, share.length));
    }
    toRgb(first + std::int64_t(count - 1) * stride, m_width, m_lastLine.data());
    m_written += count;
    return true;
}

bool PngFile::finish()
{
    if (m_failed || m_height == 0 || m_written != m_height)
        return false;
    // An empty final block of fixed codes, then the Adler-32 of all the filtered lines.
    std::uint8_t end[6] = { 0x03, 0x00 };
    putBigEndian(end + 2, m_adler);
    return writeChunk("IDAT", end, sizeof end) && writeChunk("IEND", nullptr, 0);
}

} // namespace mosaiq
