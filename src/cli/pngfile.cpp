#include "cli/pngfile.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <thread>

// The filter choice weighs every byte five ways: on the cores that have them, with AVX2's wide
// registers. GCC 12 widens only the cheapest loops at -O2, and an inlined copy would lose the
// clones.
#if defined(__clang__)
#define WIDE_LOOPS [[gnu::target_clones("avx2", "default")]]
#else
#define WIDE_LOOPS [[gnu::optimize("O3"), gnu::noinline, gnu::target_clones("avx2", "default")]]
#endif

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

    // What a filtered byte counts for in the choice: its distance from zero, read as signed.
    inline std::uint32_t weight(int filteredByte)
    {
        return std::uint32_t(std::abs(int(std::int8_t(std::uint8_t(filteredByte)))));
    }

    // The filter libpng chooses by default: the one whose bytes weigh least, the first in order
    // on a tie. Weighed in one pass over the line, without branches, so that the compiler can
    // weigh many bytes at once.
    WIDE_LOOPS int chooseFilter(
        const std::uint8_t* line, const std::uint8_t* above, std::size_t size)
    {
        std::uint32_t sums[5] = {};
        for (std::size_t i = 0; i < Bpp; ++i) {
            sums[0] += weight(line[i]);
            sums[1] += weight(line[i]);
            sums[2] += weight(line[i] - above[i]);
            sums[3] += weight(line[i] - (above[i] >> 1));
            sums[4] += weight(line[i] - above[i]);
        }
        std::uint32_t none = 0, sub = 0, up = 0, average = 0, nearest = 0;
        for (std::size_t i = Bpp; i < size; ++i) {
            const int x = line[i], a = line[i - Bpp], b = above[i], c = above[i - Bpp];
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            none += weight(x);
            sub += weight(x - a);
            up += weight(x - b);
            average += weight(x - ((a + b) >> 1));
            nearest += weight(x - predicted);
        }
        sums[0] += none;
        sums[1] += sub;
        sums[2] += up;
        sums[3] += average;
        sums[4] += nearest;
        return int(std::min_element(sums, sums + 5) - sums);
    }

    // A deflate stream at our level, whose working memory is levelBuffer (it must outlive z).
    void startDeflate(isal_zstream& z, std::vector<std::uint8_t>& levelBuffer)
    {
        levelBuffer.resize(ISAL_DEF_LVL1_DEFAULT);
        isal_deflate_init(&z);
        z.level = Level;
        z.level_buf = levelBuffer.data();
        z.level_buf_size = std::uint32_t(levelBuffer.size());
    }

    // ISA-L picks the code for this processor the first time each of its functions runs,
    // storing the choice where every thread reads it: made once, before any thread packs.
    void chooseDeflateCode()
    {
        static const bool chosen = [] {
            std::vector<std::uint8_t> level, out(256);
            std::uint8_t in[16] = {};
            isal_zstream z;
            startDeflate(z, level);
            z.next_in = in;
            z.avail_in = sizeof in;
            z.next_out = out.data();
            z.avail_out = std::uint32_t(out.size());
            z.flush = SYNC_FLUSH;
            return isal_deflate(&z) == COMP_OK;
        }();
        (void)chosen;
    }

} // namespace

PngFile::PngFile(PageFile& file, unsigned threads)
    : m_file(file)
    , m_threads(threads ? threads : std::max(1u, std::thread::hardware_concurrency()))
{
    chooseDeflateCode();
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
    m_lastLine.assign(std::size_t(width), 0);
    return true;
}

int PngFile::linesPerShare() const
{
    return int(std::clamp<std::int64_t>(ShareBytes / (m_width * Bpp + 1), 1, m_height));
}

namespace {

    // Grows buffer to size bytes at least, keeping what it already holds in memory.
    void reserveBytes(std::vector<std::uint8_t>& buffer, std::size_t size)
    {
        if (buffer.size() < size)
            buffer.resize(size);
    }

} // namespace

void PngFile::pack(Share& share, const std::uint8_t* first, std::int64_t stride, int count,
    const std::uint8_t* above) const
{
    const auto size = std::size_t(m_width * Bpp);
    const std::size_t input = (size + 1) * std::size_t(count);
    reserveBytes(share.line, size);
    reserveBytes(share.previous, size);
    reserveBytes(share.filtered, input);
    // Room for incompressible lines and the blocks' own bytes.
    reserveBytes(share.packed, input + input / 8 + 65536);
    if (above)
        toRgb(above, m_width, share.previous.data());
    else
        std::fill_n(share.previous.begin(), size, std::uint8_t(0));
    // The whole share filtered first, then summed and packed in one go each.
    std::uint8_t* out = share.filtered.data();
    for (int row = 0; row < count; ++row, out += size + 1) {
        toRgb(first + std::int64_t(row) * stride, m_width, share.line.data());
        const int filter = chooseFilter(share.line.data(), share.previous.data(), size);
        out[0] = std::uint8_t(filter);
        filterLine(filter, share.line.data(), share.previous.data(), out + 1, size);
        share.previous.swap(share.line);
    }
    share.adler = isal_adler32(1, share.filtered.data(), input);
    share.length = std::int64_t(input);
    share.lines = count;
    isal_zstream z;
    startDeflate(z, share.levelBuffer);
    z.gzip_flag = IGZIP_DEFLATE;
    z.end_of_stream = 0;
    z.next_in = share.filtered.data();
    z.avail_in = std::uint32_t(input);
    z.next_out = share.packed.data();
    z.avail_out = std::uint32_t(share.packed.size());
    // Each share ends on a byte boundary after an empty stored block: the shares join up.
    z.flush = SYNC_FLUSH;
    share.failed = isal_deflate(&z) != COMP_OK || z.avail_in != 0 || z.avail_out == 0;
    share.size = share.packed.size() - z.avail_out;
}

bool PngFile::writeShare(const Share& share)
{
    if (m_failed || m_height == 0 || share.lines < 1 || m_written + share.lines > m_height)
        return false;
    if (share.failed || !writeChunk("IDAT", share.packed.data(), share.size)) {
        m_failed = true;
        return false;
    }
    m_adler = std::uint32_t(adler32_combine(m_adler, share.adler, share.length));
    m_written += share.lines;
    return true;
}

bool PngFile::writeLines(const std::uint8_t* first, std::int64_t stride, int count)
{
    if (m_failed || m_height == 0 || count < 1 || m_written + count > m_height)
        return false;
    const int perShare = linesPerShare();
    const int shares = (count + perShare - 1) / perShare;
    auto parts = std::vector<Share>(std::size_t(shares));
    std::atomic<int> next { 0 };
    const bool firstLines = m_written == 0;
    auto packShares = [&] {
        for (int s = next++; s < shares; s = next++) {
            const int begin = s * perShare;
            const std::uint8_t* above = begin > 0 ? first + std::int64_t(begin - 1) * stride
                : firstLines                      ? nullptr
                             : reinterpret_cast<const std::uint8_t*>(m_lastLine.data());
            try {
                pack(parts[std::size_t(s)], first + std::int64_t(begin) * stride, stride,
                    std::min(count - begin, perShare), above);
            } catch (const std::bad_alloc&) {
                parts[std::size_t(s)].failed = true;
                m_outOfMemory = true;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < std::min<unsigned>(m_threads, unsigned(shares)); ++t)
        helpers.emplace_back(packShares);
    packShares();
    for (auto& helper : helpers)
        helper.join();
    for (const Share& share : parts) {
        if (!writeShare(share))
            return false;
    }
    std::memcpy(m_lastLine.data(), first + std::int64_t(count - 1) * stride,
        m_lastLine.size() * sizeof(std::uint32_t));
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
