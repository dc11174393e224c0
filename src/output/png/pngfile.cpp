#include "output/png/pngfile.h"

#include "output/png/pngfilter.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
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

    // A deflate stream at our level, whose working memory is levelBuffer (it must outlive z):
    // the largest, whose blocks are longer, so that fewer codes are built, for a few bytes more
    // in the file (0.03 % on a page of photo text) and 4 % less time.
    void startDeflate(isal_zstream& z, std::vector<std::uint8_t>& levelBuffer)
    {
        levelBuffer.resize(ISAL_DEF_LVL1_EXTRA_LARGE);
        isal_deflate_init(&z);
        // Matches within 8 KiB rather than 32: the page's pixels repeat within a glyph's reach,
        // and fewer far candidates make the 1080p page pack 3 % faster, its file no larger
        // (pages of squares and at twice the sharpness within half a percent).
        z.hist_bits = 13;
        z.level = Level;
        z.level_buf = levelBuffer.data();
        z.level_buf_size = std::uint32_t(levelBuffer.size());
    }

    // ISA-L picks the code for this processor the first time each of its functions runs,
    // storing the choice where every thread reads it: made once, before any thread packs.
    void chooseIsalCode()
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
            // The sums too: each thread sums its shares, the chunks are summed as written.
            isal_adler32(1, in, sizeof in);
            crc32_gzip_refl(0, in, sizeof in);
            return isal_deflate(&z) == COMP_OK;
        }();
        (void)chosen;
    }

} // namespace

PngFile::PngFile(PageFile& file, unsigned threads)
    : m_file(file)
    , m_threads(threads ? threads : std::max(1u, std::thread::hardware_concurrency()))
{
    chooseIsalCode();
}

bool PngFile::writeChunk(const char* type, const std::uint8_t* data, std::size_t size)
{
    std::uint8_t head[8];
    putBigEndian(head, std::uint32_t(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = crc32_gzip_refl(0, head + 4, 4);
    if (size)
        crc = crc32_gzip_refl(crc, data, size);
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

void PngFile::Bytes::reserve(std::size_t atLeast)
{
    if (size < atLeast) {
        // The old bytes go first, and the size with them, should the new ones not be had.
        data.reset();
        size = 0;
        data.reset(new std::uint8_t[atLeast]);
        size = atLeast;
    }
}

namespace {

    // What a thread needs to filter and pack a share, whatever share it packs: the filtered
    // lines stay in the cache from one share to the next rather than one buffer each.
    struct Packing {
        PngFile::Bytes filtered;
        std::vector<std::uint8_t> levelBuffer;
        PngFilter filter;
        std::vector<std::uint32_t> plainLine; // of the background, for the line after one
        // Whether the bytes of each line of filtered past its first four are zeros, as a line
        // of the background leaves them: the next such line there need not clear them again.
        // For lines of lineBytes bytes in the memory at zerosIn.
        std::vector<char> zeroTail;
        std::size_t lineBytes = 0;
        const std::uint8_t* zerosIn = nullptr;
    };

    // The Adler-32 sum after count zero bytes more: each adds the running sum to the second.
    std::uint32_t adlerOfZeros(std::uint32_t adler, std::size_t count)
    {
        constexpr std::uint64_t Base = 65521;
        const std::uint64_t a = adler & 0xffff, b = adler >> 16;
        return std::uint32_t(((b + count % Base * a) % Base) << 16 | a);
    }

} // namespace

void PngFile::pack(Share& share, const std::uint8_t* first, std::int64_t stride, int count,
    const std::uint8_t* above, const char* inked, std::uint32_t background) const
{
    const auto size = std::size_t(m_width * Bpp);
    const std::size_t input = (size + 1) * std::size_t(count);
    thread_local Packing packing;
    packing.filtered.reserve(input);
    // Room for incompressible lines and the blocks' own bytes.
    share.packed.reserve(input + input / 8 + 65536);
    if (inked)
        packing.plainLine.assign(std::size_t(m_width), background);
    const auto* plain = reinterpret_cast<const std::uint8_t*>(packing.plainLine.data());
    // The whole share filtered first, then packed in one go; a line of the background alone is
    // zeros after its first pixel, or after its filter type under another such line: known
    // bytes, summed without reading them.
    std::uint8_t* const filtered = packing.filtered.data.get();
    if (packing.zerosIn != filtered || packing.lineBytes != size + 1) {
        packing.zeroTail.clear();
        packing.zerosIn = filtered;
        packing.lineBytes = size + 1;
    }
    if (packing.zeroTail.size() < std::size_t(count))
        packing.zeroTail.resize(std::size_t(count), char(0));
    std::uint8_t* out = filtered;
    std::uint32_t adler = 1;
    for (int row = 0; row < count; ++row, out += size + 1) {
        const std::uint8_t* line = first + std::int64_t(row) * stride;
        const std::uint8_t* over = row > 0 ? line - stride : above;
        const bool overPlain = over && inked && !inked[row];
        char& zeroTail = packing.zeroTail[std::size_t(row)];
        if (inked && !inked[row + 1]) {
            // A line is at least a pixel, four bytes with its filter type.
            if (!zeroTail)
                std::memset(out + 1 + Bpp, 0, size - Bpp);
            zeroTail = 1;
            std::size_t head = 1;
            if (overPlain) {
                out[0] = 2; // Up
                out[1] = out[2] = out[3] = 0;
            } else {
                out[0] = 1; // Sub: the first pixel, then nothing changes
                out[1] = std::uint8_t(background >> 16);
                out[2] = std::uint8_t(background >> 8);
                out[3] = std::uint8_t(background);
                head = 1 + Bpp;
            }
            adler = adlerOfZeros(isal_adler32(adler, out, head), size + 1 - head);
            continue;
        }
        zeroTail = 0;
        packing.filter.filter(line, overPlain ? plain : over, m_width, out);
        adler = isal_adler32(adler, out, size + 1);
    }
    share.adler = adler;
    share.length = std::int64_t(input);
    share.lines = count;
    isal_zstream z;
    startDeflate(z, packing.levelBuffer);
    z.gzip_flag = IGZIP_DEFLATE;
    z.end_of_stream = 0;
    z.next_in = filtered;
    z.avail_in = std::uint32_t(input);
    z.next_out = share.packed.data.get();
    z.avail_out = std::uint32_t(share.packed.size);
    // Each share ends on a byte boundary after an empty stored block: the shares join up.
    z.flush = SYNC_FLUSH;
    share.failed = isal_deflate(&z) != COMP_OK || z.avail_in != 0 || z.avail_out == 0;
    share.size = share.packed.size - z.avail_out;
}

bool PngFile::writeShare(const Share& share)
{
    if (m_failed || m_height == 0 || share.lines < 1 || m_written + share.lines > m_height)
        return false;
    if (share.failed || !writeChunk("IDAT", share.packed.data.get(), share.size)) {
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
