#include "cli/pngfilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

    constexpr int Bpp = 3; // bytes a pixel in the file: RGB

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

    // What filter (1 to 4) predicts of a byte from the byte a to its left, b above it and c
    // above a; Paeth's without a branch.
    inline int predicted(int filter, int a, int b, int c)
    {
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        switch (filter) {
        case 1:
            return a;
        case 2:
            return b;
        case 3:
            return (a + b) >> 1;
        default:
            return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        }
    }

    // Byte i of line (at least one pixel in; above: the line before it) as the four filters
    // other than None leave it.
    inline void filterByte(const std::uint8_t* line, const std::uint8_t* above, std::size_t i,
        std::uint8_t* sub, std::uint8_t* up, std::uint8_t* average, std::uint8_t* nearest)
    {
        const int x = line[i], a = line[i - Bpp], b = above[i], c = above[i - Bpp];
        sub[i] = std::uint8_t(x - a);
        up[i] = std::uint8_t(x - b);
        average[i] = std::uint8_t(x - ((a + b) >> 1));
        nearest[i] = std::uint8_t(x - predicted(4, a, b, c));
    }

    // Filters an RGB line (above: the line before it) into out, filter type first. The four
    // filtered lines are made in one pass without branches, so that the compiler can make many
    // bytes at once: Paeth's, which text takes most often, in place, the others into work
    // (3 x size bytes), whence the lightest is copied.
    WIDE_LOOPS void filterBest(const std::uint8_t* __restrict line,
        const std::uint8_t* __restrict above, std::uint8_t* __restrict work,
        std::uint8_t* __restrict out, std::size_t size)
    {
        std::uint8_t* __restrict const sub = work;
        std::uint8_t* __restrict const up = work + size;
        std::uint8_t* __restrict const average = work + 2 * size;
        std::uint8_t* __restrict const nearest = out + 1;
        for (std::size_t i = 0; i < Bpp; ++i) {
            sub[i] = line[i];
            up[i] = std::uint8_t(line[i] - above[i]);
            average[i] = std::uint8_t(line[i] - (above[i] >> 1));
            nearest[i] = std::uint8_t(line[i] - above[i]);
        }
        for (std::size_t i = Bpp; i < size; ++i)
            filterByte(line, above, i, sub, up, average, nearest);
        std::uint32_t sums[5] = {};
        for (std::size_t i = 0; i < size; ++i) {
            sums[0] += weight(line[i]);
            sums[1] += weight(sub[i]);
            sums[2] += weight(up[i]);
            sums[3] += weight(average[i]);
            sums[4] += weight(nearest[i]);
        }
        const auto filter = std::size_t(std::min_element(sums, sums + 5) - sums);
        out[0] = std::uint8_t(filter);
        if (filter != 4)
            std::memcpy(out + 1, filter == 0 ? line : work + (filter - 1) * size, size);
    }

    // The words' bytes in memory: blue, green, red, then the unused fourth.
    constexpr int Channels[Bpp] = { 2, 1, 0 };

    // Filter's byte for channel (0 to 3, as in memory) of pixel x of a line of words.
    inline std::uint8_t wordByte(int filter, const std::uint8_t* line, const std::uint8_t* above,
        std::int64_t x, int channel)
    {
        const std::int64_t i = 4 * x + channel;
        const int a = x > 0 ? line[i - 4] : 0, c = x > 0 ? above[i - 4] : 0;
        return std::uint8_t(line[i] - (filter == 0 ? 0 : predicted(filter, a, above[i], c)));
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

    [[gnu::target("avx2")]] inline __m256i mean(__m256i a, __m256i b)
    {
        // The mean of a and b rounded down: the instruction rounds up on an odd sum.
        return _mm256_sub_epi8(
            _mm256_avg_epu8(a, b), _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1)));
    }

    [[gnu::target("avx2")]] inline __m256i paeth(__m256i a, __m256i b, __m256i c)
    {
        // pa = |b - c| and pb = |a - c| exactly, pc = |(b - c) + (a - c)| their sum when b - c
        // and a - c have the same sign, held at 255 where it is larger and so larger than both
        // anyway, else their difference.
        const __m256i pa = absDifference(b, c), pb = absDifference(a, c);
        const __m256i sameSign = _mm256_cmpeq_epi8(atMost(c, b), atMost(c, a));
        const __m256i pc
            = _mm256_blendv_epi8(absDifference(pa, pb), _mm256_adds_epu8(pa, pb), sameSign);
        const __m256i bOrC = _mm256_blendv_epi8(c, b, atMost(pb, pc));
        return _mm256_blendv_epi8(bOrC, a, _mm256_and_si256(atMost(pa, pb), atMost(pa, pc)));
    }

    // Filter's bytes of 32 bytes x, from a to their left, b above and c above a: written out
    // in bytes, since the compiler's own widening weighs Paeth's choice in 32-bit lanes.
    template <int Filter>
    [[gnu::target("avx2")]] inline __m256i residual(__m256i x, __m256i a, __m256i b, __m256i c)
    {
        if constexpr (Filter == 0)
            return x;
        else if constexpr (Filter == 1)
            return _mm256_sub_epi8(x, a);
        else if constexpr (Filter == 2)
            return _mm256_sub_epi8(x, b);
        else if constexpr (Filter == 3)
            return _mm256_sub_epi8(x, mean(a, b));
        else
            return _mm256_sub_epi8(x, paeth(a, b, c));
    }

    // The weight of 32 filtered bytes, as four sums of eight. The fourth byte of each word,
    // 0xff on the line and above it, leaves 0 in every filter but None, where it weighs 1: that
    // one is taken off None's sum rather than masked out of every sum.
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

    // Writes filter's bytes of a line of width words to out, in RGB order: eight pixels at a
    // time, each half of a register's bytes put in order and stored 16 bytes at a time, the
    // last 4 of each overwritten by the next store or left to the last pixels.
    template <int Filter>
    [[gnu::target("avx2")]] void writeFiltered(
        const std::uint8_t* line, const std::uint8_t* above, std::int64_t width, std::uint8_t* out)
    {
        const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1,
            -1, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
        std::int64_t x = 1;
        // Eight pixels take 24 bytes; the last store reaches 4 bytes past them.
        for (; x + 10 <= width; x += 8) {
            const std::uint8_t* at = line + 4 * x;
            const std::uint8_t* over = above + 4 * x;
            const __m256i bytes = _mm256_shuffle_epi8(
                residual<Filter>(load(at), load(at - 4), load(over), load(over - 4)), order);
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(out + 3 * x), _mm256_castsi256_si128(bytes));
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(out + 3 * x + 12), _mm256_extracti128_si256(bytes, 1));
        }
        for (const std::int64_t first : { std::int64_t(0), x }) {
            for (std::int64_t p = first;
                 p < (first == 0 ? std::min<std::int64_t>(1, width) : width); ++p) {
                for (int k = 0; k < Bpp; ++k)
                    out[3 * p + k] = wordByte(Filter, line, above, p, Channels[k]);
            }
        }
    }

    // The choice and the filtering of a line of width words, with AVX2: the five weights in one
    // pass, all in bytes, then the chosen filter's bytes alone in another, while the line is
    // still in the cache.
    [[gnu::target("avx2")]] void filterWords(
        const std::uint8_t* line, const std::uint8_t* above, std::int64_t width, std::uint8_t* out)
    {
        std::uint64_t totals[5] = {};
        // The pixels the loop leaves, one byte at a time: the first, which has no left, and the
        // last few.
        auto weighPixel = [&](std::int64_t x) {
            for (int filter = 0; filter < 5; ++filter) {
                for (const int channel : Channels)
                    totals[filter] += weight(wordByte(filter, line, above, x, channel));
            }
        };
        weighPixel(0);
        const __m256i zero = _mm256_setzero_si256();
        __m256i sums[5] = { zero, zero, zero, zero, zero };
        std::int64_t x = 1;
        for (; x + 8 <= width; x += 8) {
            const std::uint8_t* at = line + 4 * x;
            const std::uint8_t* over = above + 4 * x;
            const __m256i now = load(at), a = load(at - 4), b = load(over), c = load(over - 4);
            sums[0] = _mm256_add_epi64(sums[0], weigh(now));
            sums[1] = _mm256_add_epi64(sums[1], weigh(residual<1>(now, a, b, c)));
            sums[2] = _mm256_add_epi64(sums[2], weigh(residual<2>(now, a, b, c)));
            sums[3] = _mm256_add_epi64(sums[3], weigh(residual<3>(now, a, b, c)));
            sums[4] = _mm256_add_epi64(sums[4], weigh(residual<4>(now, a, b, c)));
        }
        for (; x < width; ++x)
            weighPixel(x);
        for (int filter = 0; filter < 5; ++filter)
            totals[filter] += total(sums[filter]);
        totals[0] -= std::uint64_t(width > 1 ? (width - 1) / 8 * 8 : 0);
        const auto filter = int(std::min_element(totals, totals + 5) - totals);
        out[0] = std::uint8_t(filter);
        using Write
            = void (*)(const std::uint8_t*, const std::uint8_t*, std::int64_t, std::uint8_t*);
        static constexpr Write Writes[5] = { writeFiltered<0>, writeFiltered<1>, writeFiltered<2>,
            writeFiltered<3>, writeFiltered<4> };
        Writes[filter](line, above, width, out + 1);
    }

    bool hasAvx2()
    {
        static const bool avx2 = __builtin_cpu_supports("avx2");
        return avx2;
    }

} // namespace

PngFilter::PngFilter(bool wide)
    : m_wide(wide && hasAvx2())
{
}

void PngFilter::filter(
    const std::uint8_t* line, const std::uint8_t* above, std::int64_t width, std::uint8_t* out)
{
    const auto words = std::size_t(width) * 4;
    if (m_wide) {
        // Above the first line: black, its fourth bytes 0xff as the words'.
        if (!above) {
            if (m_above.size() < words) {
                m_above.assign(words, 0);
                for (std::size_t i = 3; i < words; i += 4)
                    m_above[i] = 0xff;
            }
            above = m_above.data();
        }
        filterWords(line, above, width, out);
        return;
    }
    const auto size = std::size_t(width) * Bpp;
    if (m_line.size() < size) {
        m_line.resize(size);
        m_above.resize(std::max(m_above.size(), size));
        m_candidates.resize(3 * size);
    }
    toRgb(line, width, m_line.data());
    if (above)
        toRgb(above, width, m_above.data());
    else
        std::fill_n(m_above.begin(), size, std::uint8_t(0));
    filterBest(m_line.data(), m_above.data(), m_candidates.data(), out, size);
}

} // namespace mosaiq
