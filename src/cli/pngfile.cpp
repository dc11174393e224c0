#include "cli/pngfile.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <immintrin.h>

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
    WIDE_LOOPS void toRgb(const std::uint8_t* words, std::int64_t width, std::uint8_t* rgb)
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

    // What a filtered byte counts for in the choice: its distance from zero, read as signed.
    inline std::uint32_t weight(std::uint8_t filteredByte)
    {
        return std::uint32_t(std::abs(int(std::int8_t(filteredByte))));
    }

    // Byte i of line (at least one pixel in; above: the line before it) as the four filters
    // other than None leave it, Paeth's predictor without a branch.
    inline void filterByte(const std::uint8_t* line, const std::uint8_t* above, std::size_t i,
        std::uint8_t* sub, std::uint8_t* up, std::uint8_t* average, std::uint8_t* nearest)
    {
        const int x = line[i], a = line[i - Bpp], b = above[i], c = above[i - Bpp];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        sub[i] = std::uint8_t(x - a);
        up[i] = std::uint8_t(x - b);
        average[i] = std::uint8_t(x - ((a + b) >> 1));
        nearest[i] = std::uint8_t(x - predicted);
    }

    // Filters line (above: the line before it) into out, filter type first, with the filter
    // libpng chooses by default: the one whose bytes weigh least, the first in order on a tie
    // (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth). The four filtered lines are made in one pass
    // without branches, so that the compiler can make many bytes at once: Paeth's, which text
    // takes most often, in place, the others into work (3 x size bytes), whence the lightest is
    // copied.
    WIDE_LOOPS void filterBest(const std::uint8_t* __restrict line,
        const std::uint8_t* __restrict above, std::uint8_t* __restrict work,
        std::uint8_t* __restrict out, std::size_t size)
    {
        std::uint8_t* __restrict const sub = work;
        std::uint8_t* __restrict const up = work + size;
        std::uint8_t* __restrict const average = work + 2 * size;
        std::uint8_t* __restrict const nearest = out + 1;
        std::uint32_t sums[5] = {};
        for (std::size_t i = 0; i < Bpp; ++i) {
            sub[i] = line[i];
            up[i] = std::uint8_t(line[i] - above[i]);
            average[i] = std::uint8_t(line[i] - (above[i] >> 1));
            nearest[i] = std::uint8_t(line[i] - above[i]);
        }
        for (std::size_t i = Bpp; i < size; ++i) {
            filterByte(line, above, i, sub, up, average, nearest);
        }
        std::uint32_t none = 0, subSum = 0, upSum = 0, averageSum = 0, nearestSum = 0;
        for (std::size_t i = 0; i < size; ++i) {
            none += weight(line[i]);
            subSum += weight(sub[i]);
            upSum += weight(up[i]);
            averageSum += weight(average[i]);
            nearestSum += weight(nearest[i]);
        }
        sums[0] = none;
        sums[1] = subSum;
        sums[2] = upSum;
        sums[3] = averageSum;
        sums[4] = nearestSum;
        const auto filter = std::size_t(std::min_element(sums, sums + 5) - sums);
        out[0] = std::uint8_t(filter);
        if (filter != 4)
            std::memcpy(out + 1, filter == 0 ? line : work + (filter - 1) * size, size);
    }

    // The weight of 32 filtered bytes, as four sums of eight.
    [[gnu::target("avx2")]] inline __m256i weigh(__m256i bytes)
    {
        return _mm256_sad_epu8(_mm256_abs_epi8(bytes), _mm256_setzero_si256());
    }

    [[gnu::target("avx2")]] inline std::uint64_t total(__m256i sums)
    {
        alignas(32) std::uint64_t parts[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(parts), sums);
        return parts[0] + parts[1] + parts[2] + parts[3];
    }

    [[gnu::target("avx2")]] inline __m256i load(const std::uint8_t* bytes)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    }

    // |p - q| of unsigned bytes.
    [[gnu::target("avx2")]] inline __m256i absDifference(__m256i p, __m256i q)
    {
        return _mm256_sub_epi8(_mm256_max_epu8(p, q), _mm256_min_epu8(p, q));
    }

    // All ones in the bytes where p <= q, unsigned.
    [[gnu::target("avx2")]] inline __m256i atMost(__m256i p, __m256i q)
    {
        return _mm256_cmpeq_epi8(_mm256_min_epu8(p, q), p);
    }

    // The same filtering with AVX2's instructions written out, 32 bytes at a time, all in bytes:
    // the compiler's own widening of the loops above weighs Paeth's choice in 32-bit lanes.
    [[gnu::target("avx2")]] void filterBestAvx2(const std::uint8_t* __restrict line,
        const std::uint8_t* __restrict above, std::uint8_t* __restrict work,
        std::uint8_t* __restrict out, std::size_t size)
    {
        std::uint8_t* const sub = work;
        std::uint8_t* const up = work + size;
        std::uint8_t* const average = work + 2 * size;
        std::uint8_t* const nearest = out + 1;
        for (std::size_t i = 0; i < Bpp; ++i) {
            sub[i] = line[i];
            up[i] = std::uint8_t(line[i] - above[i]);
            average[i] = std::uint8_t(line[i] - (above[i] >> 1));
            nearest[i] = std::uint8_t(line[i] - above[i]);
        }
        const __m256i zero = _mm256_setzero_si256();
        __m256i sums[4] = { zero, zero, zero, zero };
        std::size_t i = Bpp;
        const __m256i one = _mm256_set1_epi8(1);
        for (; i + 32 <= size; i += 32) {
            const __m256i x = load(line + i), a = load(line + i - Bpp);
            const __m256i b = load(above + i), c = load(above + i - Bpp);
            // The mean of a and b rounded down: the instruction rounds up on an odd sum.
            const __m256i mean = _mm256_sub_epi8(
                _mm256_avg_epu8(a, b), _mm256_and_si256(_mm256_xor_si256(a, b), one));
            // Paeth in bytes: pa = |b - c| and pb = |a - c| exactly, pc = |(b - c) + (a - c)|
            // their sum when b - c and a - c have the same sign, held at 255 where it is larger
            // and so larger than both anyway, else their difference.
            const __m256i pa = absDifference(b, c), pb = absDifference(a, c);
            const __m256i sameSign = _mm256_cmpeq_epi8(atMost(c, b), atMost(c, a));
            const __m256i pc
                = _mm256_blendv_epi8(absDifference(pa, pb), _mm256_adds_epu8(pa, pb), sameSign);
            const __m256i bOrC = _mm256_blendv_epi8(c, b, atMost(pb, pc));
            const __m256i predicted
                = _mm256_blendv_epi8(bOrC, a, _mm256_and_si256(atMost(pa, pb), atMost(pa, pc)));
            const __m256i residuals[4] = { _mm256_sub_epi8(x, a), _mm256_sub_epi8(x, b),
                _mm256_sub_epi8(x, mean), _mm256_sub_epi8(x, predicted) };
            std::uint8_t* const targets[4] = { sub, up, average, nearest };
            for (int k = 0; k < 4; ++k) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(targets[k] + i), residuals[k]);
                sums[k] = _mm256_add_epi64(sums[k], weigh(residuals[k]));
            }
        }
        for (; i < size; ++i) {
            filterByte(line, above, i, sub, up, average, nearest);
        }
        // None, then the four filters: the bytes the loop above left to the last few, weighed
        // one by one.
        std::uint64_t totals[5] = {};
        __m256i none = zero;
        std::size_t j = 0;
        for (; j + 32 <= size; j += 32)
            none = _mm256_add_epi64(
                none, weigh(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + j))));
        for (std::size_t k = j; k < size; ++k)
            totals[0] += weight(line[k]);
        totals[0] += total(none);
        const std::uint8_t* const filtered[4] = { sub, up, average, nearest };
        for (int k = 0; k < 4; ++k) {
            totals[k + 1] = total(sums[k]);
            for (std::size_t n = 0; n < Bpp; ++n)
                totals[k + 1] += weight(filtered[k][n]);
            for (std::size_t n = i; n < size; ++n)
                totals[k + 1] += weight(filtered[k][n]);
        }
        const auto filter = std::size_t(std::min_element(totals, totals + 5) - totals);
        out[0] = std::uint8_t(filter);
        if (filter != 4)
            std::memcpy(out + 1, filter == 0 ? line : work + (filter - 1) * size, size);
    }

    // toRgb with AVX2, eight pixels at a time: each half of a register's bytes put in order,
    // and stored 16 bytes at a time, the last 4 of each overwritten by the next store or left
    // to the last pixels.
    [[gnu::target("avx2")]] void toRgbAvx2(
        const std::uint8_t* words, std::int64_t width, std::uint8_t* rgb)
    {
        const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1,
            -1, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
        std::int64_t x = 0;
        // Eight pixels take 24 bytes; the last store reaches 4 bytes past them.
        for (; x + 10 <= width; x += 8) {
            const __m256i bytes = _mm256_shuffle_epi8(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + 4 * x)), order);
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(rgb + 3 * x), _mm256_castsi256_si128(bytes));
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(rgb + 3 * x + 12), _mm256_extracti128_si256(bytes, 1));
        }
        toRgb(words + 4 * x, width - x, rgb + 3 * x);
    }

    using FilterBest = void (*)(
        const std::uint8_t*, const std::uint8_t*, std::uint8_t*, std::uint8_t*, std::size_t);
    using ToRgb = void (*)(const std::uint8_t*, std::int64_t, std::uint8_t*);
    // The processor's best, chosen once.
    bool hasAvx2()
    {
        static const bool avx2 = __builtin_cpu_supports("avx2");
        return avx2;
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
    const FilterBest filter = hasAvx2() ? filterBestAvx2 : filterBest;
    const ToRgb rgbOf = hasAvx2() ? toRgbAvx2 : toRgb;
    reserveBytes(share.line, size);
    reserveBytes(share.previous, size);
    reserveBytes(share.candidates, 3 * size);
    reserveBytes(share.filtered, input);
    // Room for incompressible lines and the blocks' own bytes.
    reserveBytes(share.packed, input + input / 8 + 65536);
    if (above)
        rgbOf(above, m_width, share.previous.data());
    else
        std::fill_n(share.previous.begin(), size, std::uint8_t(0));
    // The whole share filtered first, then summed and packed in one go each.
    std::uint8_t* out = share.filtered.data();
    for (int row = 0; row < count; ++row, out += size + 1) {
        rgbOf(first + std::int64_t(row) * stride, m_width, share.line.data());
        filter(share.line.data(), share.previous.data(), share.candidates.data(), out, size);
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
