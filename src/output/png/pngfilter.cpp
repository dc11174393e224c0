#include "output/png/pngfilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// Where the processor lacks AVX2, the filters are made a line at a time in RGB order, in
// loops that the compiler widens as far as the processor allows. GCC 12 widens only the
// cheapest loops at -O2, and an inlined copy would lose the clones.
#if defined(__clang__)
#define WIDE_LOOPS [[gnu::target_clones("avx2", "default")]]
#else
#define WIDE_LOOPS [[gnu::optimize("O3"), gnu::noinline, gnu::target_clones("avx2", "default")]]
#endif

namespace mosaiq {

namespace {

    constexpr int Bpp = 3; // bytes a pixel in the file: RGB
    // The choice weighs the pixels after the first in blocks of eight: on a line wider than
    // WholeUpTo pixels, one block in Sampled (and the last few pixels). A line of the page holds
    // the same kind of text from end to end: the sample costs an eighth of the weighing and
    // chooses as the whole line would, or nearly (the 1080p page's file comes out the same as
    // with a quarter, pages of squares and at twice the sharpness within 0.1 %).
    constexpr std::int64_t Block = 8;
    constexpr std::int64_t Sampled = 8;
    constexpr std::int64_t WholeUpTo = 512;

    // The step from one weighed block to the next, in pixels.
    std::int64_t weighStep(std::int64_t width)
    {
        return width > WholeUpTo ? Block * Sampled : Block;
    }

    // What a filtered byte counts for in the choice: its distance from zero, read as signed.
    inline std::uint32_t weight(std::uint8_t filteredByte)
    {
        return std::uint32_t(std::abs(int(std::int8_t(filteredByte))));
    }

    // What filter (1 to 4) predicts of a byte from the byte a to its left, b above it and c
    // above a.
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

    // Adds the weights of pixel x's bytes under each filter to totals.
    void weighPixel(
        const std::uint8_t* line, const std::uint8_t* above, std::int64_t x, std::uint64_t* totals)
    {
        for (int filter = 0; filter < 5; ++filter) {
            for (const int channel : Channels)
                totals[filter] += weight(wordByte(filter, line, above, x, channel));
        }
    }

    // Writes filter's bytes of pixels first to width - 1 to out, in RGB order, from the words.
    template <int Filter>
    void writePixels(const std::uint8_t* line, const std::uint8_t* above, std::int64_t first,
        std::int64_t width, std::uint8_t* out)
    {
        for (std::int64_t x = first; x < width; ++x) {
            for (int k = 0; k < Bpp; ++k)
                out[3 * x + k] = wordByte(Filter, line, above, x, Channels[k]);
        }
    }

    // The filter of least weight, the first on a tie.
    int lightest(const std::uint64_t* totals)
    {
        return int(std::min_element(totals, totals + 5) - totals);
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

    // Paeth's prediction without a branch, so that the compiler can make many at once.
    inline int paethOf(int a, int b, int c)
    {
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }

    // Adds the weights of bytes from to end of an RGB line (from at least one pixel in) under
    // each filter to totals.
    WIDE_LOOPS void weighRgb(const std::uint8_t* __restrict line,
        const std::uint8_t* __restrict above, std::size_t from, std::size_t end,
        std::uint64_t* __restrict totals)
    {
        std::uint32_t none = 0, sub = 0, up = 0, average = 0, nearest = 0;
        for (std::size_t i = from; i < end; ++i) {
            const int x = line[i], a = line[i - Bpp], b = above[i], c = above[i - Bpp];
            none += weight(std::uint8_t(x));
            sub += weight(std::uint8_t(x - a));
            up += weight(std::uint8_t(x - b));
            average += weight(std::uint8_t(x - ((a + b) >> 1)));
            nearest += weight(std::uint8_t(x - paethOf(a, b, c)));
        }
        totals[0] += none;
        totals[1] += sub;
        totals[2] += up;
        totals[3] += average;
        totals[4] += nearest;
    }

    // Writes filter's bytes of an RGB line of size bytes to out.
    WIDE_LOOPS void filterRgb(int filter, const std::uint8_t* __restrict line,
        const std::uint8_t* __restrict above, std::uint8_t* __restrict out, std::size_t size)
    {
        // The first pixel has nothing to its left.
        for (std::size_t i = 0; i < Bpp && i < size; ++i)
            out[i] = std::uint8_t(line[i] - (filter == 0 ? 0 : predicted(filter, 0, above[i], 0)));
        switch (filter) {
        case 0:
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = line[i];
            break;
        case 1:
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = std::uint8_t(line[i] - line[i - Bpp]);
            break;
        case 2:
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = std::uint8_t(line[i] - above[i]);
            break;
        case 3:
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = std::uint8_t(line[i] - ((line[i - Bpp] + above[i]) >> 1));
            break;
        default:
            for (std::size_t i = Bpp; i < size; ++i)
                out[i] = std::uint8_t(line[i] - paethOf(line[i - Bpp], above[i], above[i - Bpp]));
            break;
        }
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
        writePixels<Filter>(line, above, 0, std::min<std::int64_t>(1, width), out);
        writePixels<Filter>(line, above, x, width, out);
    }

    // The choice and the filtering of a line of width words, with AVX2: the five weights in one
    // pass, all in bytes, then the chosen filter's bytes alone in another, while the line is
    // still in the cache.
    [[gnu::target("avx2")]] void filterWords(
        const std::uint8_t* line, const std::uint8_t* above, std::int64_t width, std::uint8_t* out)
    {
        std::uint64_t totals[5] = {};
        weighPixel(line, above, 0, totals);
        const __m256i zero = _mm256_setzero_si256();
        __m256i sums[5] = { zero, zero, zero, zero, zero };
        std::int64_t x = 1, blocks = 0;
        for (; x + Block <= width; x += weighStep(width), ++blocks) {
            const std::uint8_t* at = line + 4 * x;
            const std::uint8_t* over = above + 4 * x;
            const __m256i now = load(at), a = load(at - 4), b = load(over), c = load(over - 4);
            sums[0] = _mm256_add_epi64(sums[0], weigh(now));
            sums[1] = _mm256_add_epi64(sums[1], weigh(residual<1>(now, a, b, c)));
            sums[2] = _mm256_add_epi64(sums[2], weigh(residual<2>(now, a, b, c)));
            sums[3] = _mm256_add_epi64(sums[3], weigh(residual<3>(now, a, b, c)));
            sums[4] = _mm256_add_epi64(sums[4], weigh(residual<4>(now, a, b, c)));
        }
        for (x = 1 + (width - 1) / Block * Block; x < width; ++x)
            weighPixel(line, above, x, totals);
        for (int filter = 0; filter < 5; ++filter)
            totals[filter] += total(sums[filter]);
        totals[0] -= std::uint64_t(blocks * Block);
        const int filter = lightest(totals);
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
    if (m_wide) {
        // Above the first line: black, its fourth bytes 0xff as the words'.
        if (!above) {
            const auto words = std::size_t(width) * 4;
            if (m_black.size() < words) {
                m_black.assign(words, 0);
                for (std::size_t i = 3; i < words; i += 4)
                    m_black[i] = 0xff;
            }
            above = m_black.data();
        }
        filterWords(line, above, width, out);
        return;
    }
    const auto size = std::size_t(width) * Bpp;
    if (m_line.size() < size) {
        m_line.resize(size);
        m_above.resize(size);
    }
    if (above)
        toRgb(above, width, m_above.data());
    else
        std::fill_n(m_above.begin(), size, std::uint8_t(0));
    toRgb(line, width, m_line.data());
    // The same pixels weighed as filterWords() weighs: the first, blocks of eight, the last few.
    std::uint64_t totals[5] = {};
    const std::uint8_t* const rgb = m_line.data();
    const std::uint8_t* const up = m_above.data();
    for (int k = 0; k < Bpp; ++k) {
        for (int filter = 0; filter < 5; ++filter)
            totals[filter] += weight(
                std::uint8_t(rgb[k] - (filter == 0 ? 0 : predicted(filter, 0, up[k], 0))));
    }
    std::int64_t x = 1;
    for (; x + Block <= width; x += weighStep(width))
        weighRgb(rgb, up, std::size_t(x) * Bpp, std::size_t(x + Block) * Bpp, totals);
    weighRgb(rgb, up, std::size_t(1 + (width - 1) / Block * Block) * Bpp, size, totals);
    const int filter = lightest(totals);
    out[0] = std::uint8_t(filter);
    filterRgb(filter, rgb, up, out + 1, size);
}

} // namespace mosaiq
