#pragma once

#include "output/painting/pagefont.h"

#include <QRgb>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>

// The page painter's own: the glyphs' masks blended onto an image's lines and the squares filled,
// and the pens rounded, read by PagePainter alone, in a header so that they are built into its
// loop over the cells.
namespace mosaiq::painting {

// The lines of an image, found once: QImage's own accessors check its sharing each time.
struct PaintedLines {
    uchar* bits;
    qsizetype stride;
    int width, height;
    // When given, a line is cleared to the background only when first painted on, and
    // marked here: the lines no glyph reaches are never touched.
    char* inked = nullptr;
    QRgb background = 0;
    // A glyph to blend: its mask, where the mask's top left lies, its colour.
    struct Glyph {
        const PageFont::Mask* mask;
        int left, top;
        QRgb colour;
    };
    QRgb* line(int y) const
    {
        auto* words = reinterpret_cast<QRgb*>(bits + y * stride);
        if (inked && !inked[y]) {
            // The C library's fill of 4-byte words writes a line of tens of kilobytes in
            // whole cache lines, without reading them first: twice as fast as a loop.
            static_assert(sizeof(wchar_t) == sizeof(QRgb));
            std::wmemset(reinterpret_cast<wchar_t*>(words), wchar_t(background), width);
            inked[y] = 1;
        }
        return words;
    }
};

// The integer at or below value, which lies well within 2^62 of zero: read for every
// glyph, where std::floor without SSE4.1 is a long sequence, and the same integer.
inline std::int64_t floorOf(double value)
{
    const auto toward = std::int64_t(value); // toward zero
    return toward - (double(toward) > value ? 1 : 0);
}

// under weighed by 255 - a and colour by a, in 255ths, rounded to the nearest level: the
// same sum for every coverage, so that none needs a branch of its own (a = 0 keeps under,
// a = 255 gives colour, alpha included).
inline QRgb blend(QRgb under, QRgb colour, unsigned a)
{
    const unsigned keep = 255 - a;
    QRgb mixed = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const unsigned v = ((under >> shift) & 0xFF) * keep + ((colour >> shift) & 0xFF) * a + 127;
        // v / 255, without a division: exact up to 255 x 255 + 127.
        mixed |= ((v + 1 + (v >> 8)) >> 8) << shift;
    }
    return mixed;
}

#if defined(__SSE2__)
// Two pixels' channels in 16-bit lanes, under weighed by 255 - a and ink by a as blend()
// does; v / 255 as (v x 0x8081) >> 23, exact for every 16-bit v.
inline __m128i mix(__m128i under, __m128i ink, __m128i a)
{
    const __m128i v
        = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(under, _mm_sub_epi16(_mm_set1_epi16(255), a)),
                            _mm_mullo_epi16(ink, a)),
            _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(short(0x8081))), 7);
}

// Four pixels at out under four coverages.
inline void blendFour(QRgb* out, std::uint32_t four, __m128i ink)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i a16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(four)), zero);
    const __m128i a = _mm_unpacklo_epi16(a16, a16); // a0 a0 a1 a1 a2 a2 a3 a3
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
    const __m128i low = mix(_mm_unpacklo_epi8(pixels, zero), ink, _mm_unpacklo_epi32(a, a));
    const __m128i high = mix(_mm_unpackhi_epi8(pixels, zero), ink, _mm_unpackhi_epi32(a, a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(low, high));
}

// mix() on four pixels at once, with AVX2.
[[gnu::target("avx2")]] inline __m256i mix8(__m256i under, __m256i ink, __m256i a)
{
    const __m256i v = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(under, _mm256_sub_epi16(_mm256_set1_epi16(255), a)),
            _mm256_mullo_epi16(ink, a)),
        _mm256_set1_epi16(127));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(v, _mm256_set1_epi16(short(0x8081))), 7);
}

// Each coverage in the four channels of its pixel, in the order the pixels unpack.
struct Spread {
    __m256i low, high;
};
[[gnu::target("avx2")]] inline Spread coverageSpread()
{
    return { _mm256_setr_epi8(0, -1, 0, -1, 0, -1, 0, -1, 1, -1, 1, -1, 1, -1, 1, -1, 4, -1, 4, -1,
                 4, -1, 4, -1, 5, -1, 5, -1, 5, -1, 5, -1),
        _mm256_setr_epi8(2, -1, 2, -1, 2, -1, 2, -1, 3, -1, 3, -1, 3, -1, 3, -1, 6, -1, 6, -1, 6,
            -1, 6, -1, 7, -1, 7, -1, 7, -1, 7, -1) };
}

// Eight pixels at out under eight coverages, with AVX2; ink: the colour's four channels in
// 16-bit lanes, once for each of four pixels.
[[gnu::target("avx2"), gnu::always_inline]] inline void blendEight(
    QRgb* out, std::uint64_t eight, __m256i ink, const Spread& spread)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i spreadLow = spread.low, spreadHigh = spread.high;
    const __m256i coverage = _mm256_set1_epi64x(std::int64_t(eight));
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out));
    const __m256i low
        = mix8(_mm256_unpacklo_epi8(pixels, zero), ink, _mm256_shuffle_epi8(coverage, spreadLow));
    const __m256i high
        = mix8(_mm256_unpackhi_epi8(pixels, zero), ink, _mm256_shuffle_epi8(coverage, spreadHigh));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi16(low, high));
}

inline bool hasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

// Covers the lines [y0, y1) of what blendMask() covers, eight pixels at a time from x0 for
// eights eights, with AVX2: the constants made once for the glyph, each eight blended
// in place.
[[gnu::target("avx2")]] inline void blendEights(const PaintedLines& target,
    const PageFont::Mask& mask, int left, int top, int x0, int y0, int y1, int eights, QRgb colour)
{
    const __m256i ink = _mm256_broadcastsi128_si256(
        _mm_unpacklo_epi8(_mm_set1_epi32(int(colour)), _mm_setzero_si128()));
    const Spread spread = coverageSpread();
    for (int y = y0; y < y1; ++y) {
        const uchar* coverage = mask.bits + (y - top) * mask.stride + (x0 - left);
        QRgb* out = target.line(y) + x0;
        for (int k = 0; k < eights; ++k, coverage += 8, out += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, coverage, 8);
            if (eight != 0)
                blendEight(out, eight, ink, spread);
        }
    }
}
#endif

// Covers the lines [y0, y1) of the pixels under mask, its top left at (left, top), from x
// from to x1 with colour as far as the glyph covers them, four pixels at a time where both the
// image and the mask go on that far, the few left one by one.
inline void blendNarrow(const PaintedLines& target, const PageFont::Mask& mask, int left, int top,
    int from, int y0, int y1, int x1, QRgb colour)
{
#if defined(__SSE2__)
    const __m128i ink = _mm_unpacklo_epi8(_mm_set1_epi32(int(colour)), _mm_setzero_si128());
#endif
    for (int y = y0; y < y1; ++y) {
        const uchar* coverage = mask.bits + (y - top) * mask.stride + (from - left);
        QRgb* out = target.line(y) + from;
        int x = from;
#if defined(__SSE2__)
        for (; x + 4 <= target.width && x - left + 4 <= mask.width;
             x += 4, coverage += 4, out += 4) {
            std::uint32_t four;
            std::memcpy(&four, coverage, 4);
            if (four != 0)
                blendFour(out, four, ink);
        }
#endif
        for (; x < x1; ++x, ++coverage, ++out) {
            if (*coverage != 0)
                *out = blend(*out, colour, *coverage);
        }
    }
}

// Where a mask, its top left at (left, top), meets the image: its lines [y0, y1) and pixels
// [x0, x1), and the whole eights of pixels from x0 that both the image and the mask go on for.
struct MaskReach {
    int x0, y0, x1, y1, eights;
};
inline MaskReach reachOf(const PaintedLines& target, const PageFont::Mask& mask, int left, int top)
{
    const int x0 = std::max(0, left), y0 = std::max(0, top);
    return { x0, y0, std::min(target.width, left + mask.width),
        std::min(target.height, top + mask.height),
        std::max(0, std::min(target.width - x0, mask.width - (x0 - left)) / 8) };
}

// Covers the pixels under mask, its top left at (left, top), with colour as far as the
// glyph covers them. Eight or four pixels at a time where both the image and the mask go on
// that far: the masks are a multiple of eight pixels wide, and their padding covers nothing,
// so that only a glyph cut by the image's edges leaves a few pixels to be taken one by one.
inline void blendMask(
    const PaintedLines& target, const PageFont::Mask& mask, int left, int top, QRgb colour)
{
    const MaskReach reach = reachOf(target, mask, left, top);
    // Where the narrower steps start: past the eights, if any.
    int from = reach.x0;
#if defined(__SSE2__)
    if (hasAvx2() && reach.y0 < reach.y1 && reach.eights > 0) {
        blendEights(target, mask, left, top, reach.x0, reach.y0, reach.y1, reach.eights, colour);
        from += 8 * reach.eights;
        if (from >= reach.x1)
            return;
    }
#endif
    blendNarrow(target, mask, left, top, from, reach.y0, reach.y1, reach.x1, colour);
}

#if defined(__SSE2__)
// blendMask() on count glyphs in their order, with AVX2: a call for a few dozen glyphs rather
// than one each, and the eights' constants made once.
[[gnu::target("avx2")]] inline void blendGlyphs(
    const PaintedLines& target, const PaintedLines::Glyph* glyphs, int count)
{
    for (int i = 0; i < count; ++i) {
        const PageFont::Mask& mask = *glyphs[i].mask;
        const int left = glyphs[i].left, top = glyphs[i].top;
        const MaskReach reach = reachOf(target, mask, left, top);
        int from = reach.x0;
        if (reach.y0 < reach.y1 && reach.eights > 0) {
            blendEights(target, mask, left, top, reach.x0, reach.y0, reach.y1, reach.eights,
                glyphs[i].colour);
            from += 8 * reach.eights;
            if (from >= reach.x1)
                continue;
        }
        blendNarrow(target, mask, left, top, from, reach.y0, reach.y1, reach.x1, glyphs[i].colour);
    }
}
#endif

inline void fillRect(
    const PaintedLines& target, int left, int top, int right, int bottom, QRgb colour)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, target.width);
    bottom = std::min(bottom, target.height);
    for (int y = top; y < bottom; ++y) {
        QRgb* line = target.line(y);
        std::fill(line + left, line + std::max(left, right), colour);
    }
}

} // namespace mosaiq::painting
