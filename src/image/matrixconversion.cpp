#include "image/matrixconversion.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace mosaiq {

namespace {

    // Linear light in the tables is fixed point: 1.0 is 1 << LinearBits.
    constexpr int LinearBits = 18;
    // Linear light reaches the sRGB encoding table with 14 bits: near black a step is a fifth
    // of an output level.
    constexpr int EncodeBits = 14;

    double srgbEncode(double linear)
    {
        linear = std::clamp(linear, 0.0, 1.0);
        return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    }

    quint8 toByte(double value)
    {
        return quint8(std::lround(std::clamp(value, 0.0, 1.0) * 255));
    }

    // The cubic a + b t + c t^2 + d t^3 nearest (least squares) to f at the samples t in [0, 1).
    std::array<double, 4> fitCubic(const std::vector<double>& t, const std::vector<double>& f)
    {
        double m[4][5] = {};
        for (size_t i = 0; i < t.size(); ++i) {
            const double p[4] = { 1, t[i], t[i] * t[i], t[i] * t[i] * t[i] };
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c)
                    m[r][c] += p[r] * p[c];
                m[r][4] += p[r] * f[i];
            }
        }
        for (int col = 0; col < 4; ++col) { // Gauss-Jordan with partial pivoting
            int pivot = col;
            for (int r = col + 1; r < 4; ++r) {
                if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                    pivot = r;
            }
            std::swap(m[col], m[pivot]);
            if (std::abs(m[col][col]) < 1e-12)
                return {};
            for (int r = 0; r < 4; ++r) {
                if (r == col)
                    continue;
                const double k = m[r][col] / m[col][col];
                for (int c = col; c < 5; ++c)
                    m[r][c] -= k * m[col][c];
            }
        }
        return { m[0][4] / m[0][0], m[1][4] / m[1][1], m[2][4] / m[2][2], m[3][4] / m[3][3] };
    }

    // The cubic k of t written as a cubic of x, where t = a x + b.
    std::array<double, 4> expanded(const std::array<double, 4>& k, double a, double b)
    {
        return { k[0] + k[1] * b + k[2] * b * b + k[3] * b * b * b,
            k[1] * a + 2 * k[2] * a * b + 3 * k[3] * a * b * b, k[2] * a * a + 3 * k[3] * a * a * b,
            k[3] * a * a * a };
    }

#if defined(__x86_64__)
    bool haveAvx2()
    {
        static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        return have;
    }

    // Eight 0xAARRGGBB words at a time, without table lookups (which AVX2 makes slow): each
    // piece's coefficients are picked from registers, and the pieces are polynomials of the
    // level and of the square root themselves, so that no offset into the piece is computed.
    // Returns how many pixels it converted.
    __attribute__((target("avx2,fma"))) int convertWide(
        const std::array<std::array<std::array<float, 8>, 4>, 3>& decode,
        const std::array<std::array<float, 8>, 4>& encode, const std::array<float, 9>& matrix,
        const uchar* in, uchar* out, int width)
    {
        const __m256 tiny = _mm256_set1_ps(1e-20f), one = _mm256_set1_ps(1.0f);
        const __m256 eight = _mm256_set1_ps(8.0f);
        const __m256i lastPiece = _mm256_set1_epi32(7);
        // The byte of each channel alone in its word, red, green, blue (bytes 2, 1, 0).
        const __m256i channelBytes[3] = {
            _mm256_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1, 2, -1,
                -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1),
            _mm256_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1, 1, -1, -1,
                -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1),
            _mm256_setr_epi8(0, -1, -1, -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1, 0, -1, -1,
                -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1),
        };
        // Blue, green, red and alpha of four pixels, channel by channel, into four words.
        const __m256i interleave = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7,
            11, 15, 0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
        __m256 dk[3][4], ek[4], mm[9];
        for (int c = 0; c < 3; ++c) {
            for (int j = 0; j < 4; ++j)
                dk[c][j] = _mm256_loadu_ps(decode[size_t(c)][size_t(j)].data());
        }
        for (int j = 0; j < 4; ++j)
            ek[j] = _mm256_loadu_ps(encode[size_t(j)].data());
        for (int i = 0; i < 9; ++i)
            mm[i] = _mm256_set1_ps(matrix[size_t(i)]);
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * x));
            __m256 light[3];
            for (int c = 0; c < 3; ++c) {
                const __m256 level = _mm256_cvtepi32_ps(_mm256_shuffle_epi8(px, channelBytes[c]));
                // The top three bits of the channel's byte; the permutes read no other bits.
                const __m256i piece = _mm256_srli_epi32(px, 21 - 8 * c);
                __m256 v = _mm256_permutevar8x32_ps(dk[c][3], piece);
                v = _mm256_fmadd_ps(v, level, _mm256_permutevar8x32_ps(dk[c][2], piece));
                v = _mm256_fmadd_ps(v, level, _mm256_permutevar8x32_ps(dk[c][1], piece));
                light[c] = _mm256_fmadd_ps(v, level, _mm256_permutevar8x32_ps(dk[c][0], piece));
            }
            __m256i levels[3];
            for (int c = 0; c < 3; ++c) {
                __m256 l = _mm256_fmadd_ps(mm[c * 3], light[0],
                    _mm256_fmadd_ps(
                        mm[c * 3 + 1], light[1], _mm256_mul_ps(mm[c * 3 + 2], light[2])));
                l = _mm256_min_ps(_mm256_max_ps(l, tiny), one);
                // The square root by its quick reciprocal estimate: the pieces are checked with it.
                const __m256 s = _mm256_mul_ps(_mm256_mul_ps(l, _mm256_rsqrt_ps(l)), eight);
                const __m256i piece = _mm256_min_epi32(_mm256_cvttps_epi32(s), lastPiece);
                __m256 v = _mm256_permutevar8x32_ps(ek[3], piece);
                v = _mm256_fmadd_ps(v, s, _mm256_permutevar8x32_ps(ek[2], piece));
                v = _mm256_fmadd_ps(v, s, _mm256_permutevar8x32_ps(ek[1], piece));
                v = _mm256_fmadd_ps(v, s, _mm256_permutevar8x32_ps(ek[0], piece));
                levels[c] = _mm256_cvtps_epi32(v);
            }
            // Saturating packs clamp the levels to 0-255 on the way.
            const __m256i blueGreen = _mm256_packus_epi32(levels[2], levels[1]);
            const __m256i redAlpha = _mm256_packus_epi32(levels[0], _mm256_srli_epi32(px, 24));
            const __m256i result
                = _mm256_shuffle_epi8(_mm256_packus_epi16(blueGreen, redAlpha), interleave);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), result);
        }
        return x;
    }
#else
    bool haveAvx2()
    {
        return false;
    }
    int convertWide(const std::array<std::array<std::array<float, 8>, 4>, 3>&,
        const std::array<std::array<float, 8>, 4>&, const std::array<float, 9>&, const uchar*,
        uchar*, int)
    {
        return 0;
    }
#endif

} // namespace

MatrixConversion::MatrixConversion(const std::array<std::array<double, 256>, 3>& linear,
    const std::array<std::array<double, 3>, 3>& toSrgb)
{
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            m_matrix[size_t(c * 3 + k)] = float(toSrgb[size_t(c)][size_t(k)]);
            for (int v = 0; v < 256; ++v) {
                m_share[size_t(c * 3 + k)][size_t(v)]
                    = qint32(std::lround(toSrgb[size_t(c)][size_t(k)] * linear[size_t(k)][size_t(v)]
                        * (1 << LinearBits)));
            }
        }
    }
    m_encode.resize((1 << EncodeBits) + 1);
    for (int i = 0; i <= 1 << EncodeBits; ++i)
        m_encode[size_t(i)] = toByte(srgbEncode(double(i) / (1 << EncodeBits)));
    if (haveAvx2())
        fitWide(linear);
}

MatrixConversion::MatrixConversion(const std::array<double, 256>& grey)
{
    for (int v = 0; v < 256; ++v)
        m_grey[size_t(v)] = toByte(srgbEncode(grey[size_t(v)]));
}

void MatrixConversion::fitWide(const std::array<std::array<double, 256>, 3>& linear)
{
    // Each curve, piece by piece over 32 input levels, as a polynomial of the level.
    for (int c = 0; c < 3; ++c) {
        for (int piece = 0; piece < 8; ++piece) {
            std::vector<double> t, f;
            for (int i = 0; i < 32; ++i) {
                t.push_back(i / 32.0);
                f.push_back(linear[size_t(c)][size_t(piece * 32 + i)]);
            }
            const std::array<double, 4> k = expanded(fitCubic(t, f), 1.0 / 32, -piece);
            for (int j = 0; j < 4; ++j)
                m_decodePieces[size_t(c)][size_t(j)][size_t(piece)] = float(k[size_t(j)]);
        }
    }
    // The encoding, over eight times the square root of linear light, where it is smooth.
    for (int piece = 0; piece < 8; ++piece) {
        std::vector<double> t, f;
        for (int i = 0; i <= 400; ++i) {
            const double root = (piece + i / 400.0) / 8;
            t.push_back(i / 400.0);
            f.push_back(255 * srgbEncode(root * root));
        }
        const std::array<double, 4> k = expanded(fitCubic(t, f), 1.0, -piece);
        for (int j = 0; j < 4; ++j)
            m_encodePieces[size_t(j)][size_t(piece)] = float(k[size_t(j)]);
    }
    // What the pieces give, against the exact conversion: every level of each channel alone,
    // every grey, and a few thousand colours.
    std::vector<quint32> samples;
    for (int v = 0; v < 256; ++v) {
        samples.push_back(0xFF000000u | quint32(v) << 16);
        samples.push_back(0xFF000000u | quint32(v) << 8);
        samples.push_back(0xFF000000u | quint32(v));
        samples.push_back(0xFF000000u | quint32(v) * 0x010101u);
    }
    quint32 seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1664525u + 1013904223u;
        samples.push_back(seed | 0xFF000000u);
    }
    std::vector<quint32> results(samples.size());
    const int done = convertWide(m_decodePieces, m_encodePieces, m_matrix,
        reinterpret_cast<const uchar*>(samples.data()), reinterpret_cast<uchar*>(results.data()),
        int(samples.size()));
    if (done != int(samples.size()))
        return;
    m_wideError = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int levels[3]
            = { int(samples[i] >> 16 & 0xFF), int(samples[i] >> 8 & 0xFF), int(samples[i] & 0xFF) };
        for (int c = 0; c < 3; ++c) {
            double light = 0;
            for (int k = 0; k < 3; ++k)
                light += m_matrix[size_t(c * 3 + k)] * linear[size_t(k)][size_t(levels[k])];
            const int exact = toByte(srgbEncode(light));
            const int wide = int(results[i] >> (16 - 8 * c) & 0xFF);
            m_wideError = std::max(m_wideError, double(std::abs(wide - exact)));
        }
    }
}

void MatrixConversion::rgbToBgra(int r, int g, int b, uchar* out) const
{
    auto level = [&](int c) {
        const qint32 light = m_share[size_t(c * 3)][size_t(r)]
            + m_share[size_t(c * 3 + 1)][size_t(g)] + m_share[size_t(c * 3 + 2)][size_t(b)];
        const qint32 index
            = (std::clamp(light, 0, 1 << LinearBits) + (1 << (LinearBits - EncodeBits - 1)))
            >> (LinearBits - EncodeBits);
        return m_encode[size_t(index)];
    };
    out[0] = level(2);
    out[1] = level(1);
    out[2] = level(0);
}

void MatrixConversion::convertRgb32(const uchar* in, uchar* out, int width) const
{
    int x = m_wideError <= 1 ? convertWide(m_decodePieces, m_encodePieces, m_matrix, in, out, width)
                             : 0;
    for (in += 4 * x, out += 4 * x; x < width; ++x, in += 4, out += 4)
        rgbToBgra(in[2], in[1], in[0], out);
}

void MatrixConversion::convertGrey32(const uchar* in, uchar* out, int width) const
{
    for (int x = 0; x < width; ++x, in += 4, out += 4)
        out[0] = out[1] = out[2] = m_grey[in[0]];
}

void MatrixConversion::convertRgb24(const uchar* in, uchar* out, int width) const
{
    for (int x = 0; x < width; ++x, in += 3, out += 4)
        rgbToBgra(in[0], in[1], in[2], out);
}

void MatrixConversion::convertRgba32(const uchar* in, uchar* out, int width) const
{
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
        const uchar alpha = in[3];
        rgbToBgra(in[0], in[1], in[2], out);
        out[3] = alpha;
    }
}

} // namespace mosaiq
