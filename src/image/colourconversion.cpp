#include "image/colourconversion.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace mosaiq {

namespace {

    // QImage's 0xAARRGGBB words lie in memory as blue, green, red, alpha on this machine.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "pixel layouts assume a little-endian machine");
    constexpr cmsUInt32Number Grey32Format
        = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

    struct Layout {
        cmsUInt32Number format;
        cmsColorSpaceSignature space;
    };

    Layout layoutOf(ColourConversion::Layout layout)
    {
        switch (layout) {
        case ColourConversion::Layout::Rgb32:
            return { TYPE_BGRA_8, cmsSigRgbData };
        case ColourConversion::Layout::Grey32:
            return { Grey32Format, cmsSigGrayData };
        case ColourConversion::Layout::Rgb24:
            return { TYPE_RGB_8, cmsSigRgbData };
        case ColourConversion::Layout::Rgba32:
            return { TYPE_RGBA_8, cmsSigRgbData };
        case ColourConversion::Layout::Cmyk:
            return { TYPE_CMYK_8, cmsSigCmykData };
        case ColourConversion::Layout::CmykInverted:
            return { TYPE_CMYK_8_REV, cmsSigCmykData };
        }
        return { TYPE_BGRA_8, cmsSigRgbData };
    }

    struct Chromaticities {
        cmsCIExyY white;
        cmsCIExyYTRIPLE primaries;
    };

    constexpr cmsCIExyY D65 { 0.3127, 0.3290, 1.0 };

    // H.273 colour primaries that a picture may name; BT.709 (1) is sRGB's own.
    bool chromaticities(int code, Chromaticities& out)
    {
        auto set = [&](cmsCIExyY white, double rx, double ry, double gx, double gy, double bx,
                       double by) {
            out.white = white;
            out.primaries = { { rx, ry, 1.0 }, { gx, gy, 1.0 }, { bx, by, 1.0 } };
            return true;
        };
        switch (code) {
        case 4:
            return set({ 0.310, 0.316, 1.0 }, 0.67, 0.33, 0.21, 0.71, 0.14, 0.08);
        case 5:
            return set(D65, 0.64, 0.33, 0.29, 0.60, 0.15, 0.06);
        case 6:
        case 7:
            return set(D65, 0.630, 0.340, 0.310, 0.595, 0.155, 0.070);
        case 9:
            return set(D65, 0.708, 0.292, 0.170, 0.797, 0.131, 0.046);
        case 11:
            return set({ 0.314, 0.351, 1.0 }, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060);
        case 12:
            return set(D65, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060);
        case 22:
            return set(D65, 0.630, 0.340, 0.295, 0.605, 0.155, 0.077);
        default:
            return false;
        }
    }

} // namespace

namespace {

    // Linear light in the tables is fixed point: 1.0 is 1 << LinearBits.
    constexpr int LinearBits = 18;
    // Linear light reaches the sRGB encoding table with 14 bits: near black a step is a fifth
    // of an output level.
    constexpr int EncodeBits = 14;
    // Steps of the square root of linear light for the eight-pixel path.
    constexpr int RootSteps = 4095;

    double srgbEncode(double linear)
    {
        linear = std::clamp(linear, 0.0, 1.0);
        return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    }

    quint8 toByte(double value)
    {
        return quint8(std::lround(std::clamp(value, 0.0, 1.0) * 255));
    }

    bool colorants(cmsHPROFILE profile, std::array<std::array<double, 3>, 3>& matrix)
    {
        const cmsTagSignature tags[3]
            = { cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag };
        for (int column = 0; column < 3; ++column) {
            const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[column]));
            if (!xyz)
                return false;
            matrix[0][column] = xyz->X;
            matrix[1][column] = xyz->Y;
            matrix[2][column] = xyz->Z;
        }
        return true;
    }

    bool invert(const std::array<std::array<double, 3>, 3>& m,
        std::array<std::array<double, 3>, 3>& inverse)
    {
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
            - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
            + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        if (std::abs(det) < 1e-9)
            return false;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
                inverse[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
            }
        }
        return true;
    }

} // namespace

struct ColourConversion::Tables {
    // Grey: the sRGB level of each grey level.
    std::array<quint8, 256> grey {};
    // RGB: what input channel k at level v adds to the linear light of output channel c, at
    // [c * 3 + k][v]; then the sRGB level of each linear value.
    std::array<std::array<qint32, 256>, 9> share {};
    std::vector<quint8> encode;
    // The same for eight pixels at a time: linear light of each input level, the matrix, and
    // the encoding of the square root of linear light (finest near black, and small enough for
    // the nearest cache) as whole words.
    std::array<std::array<float, 256>, 3> linear {};
    std::array<float, 9> matrix {};
    std::vector<qint32> encodeRoots;

    void rgbToBgra(int r, int g, int b, uchar* out) const
    {
        auto level = [&](int c) {
            const qint32 light = share[c * 3][r] + share[c * 3 + 1][g] + share[c * 3 + 2][b];
            const qint32 index
                = (std::clamp(light, 0, 1 << LinearBits) + (1 << (LinearBits - EncodeBits - 1)))
                >> (LinearBits - EncodeBits);
            return encode[size_t(index)];
        };
        out[0] = level(2);
        out[1] = level(1);
        out[2] = level(0);
    }
};

namespace {

#if defined(__x86_64__)
    // Eight 0xAARRGGBB words at a time, where the processor has AVX2: the tables are gathered,
    // the matrix is multiplied in floating point. Returns how many pixels it converted.
    __attribute__((target("avx2,fma"))) int convertWideRgb32(
        const std::array<std::array<float, 256>, 3>& linear, const std::array<float, 9>& m,
        const qint32* encode, const uchar* from, uchar* to, int width)
    {
        const __m256i byte = _mm256_set1_epi32(0xFF);
        const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
        const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
        const __m256 scale = _mm256_set1_ps(float(RootSteps));
        __m256 mm[9];
        for (int i = 0; i < 9; ++i)
            mm[i] = _mm256_set1_ps(m[size_t(i)]);
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 4 * x));
            const __m256i b = _mm256_and_si256(px, byte);
            const __m256i g = _mm256_and_si256(_mm256_srli_epi32(px, 8), byte);
            const __m256i r = _mm256_and_si256(_mm256_srli_epi32(px, 16), byte);
            const __m256 lr = _mm256_i32gather_ps(linear[0].data(), r, 4);
            const __m256 lg = _mm256_i32gather_ps(linear[1].data(), g, 4);
            const __m256 lb = _mm256_i32gather_ps(linear[2].data(), b, 4);
            __m256i out = _mm256_and_si256(px, alphaMask);
            for (int c = 0; c < 3; ++c) { // red, green, blue
                __m256 light = _mm256_fmadd_ps(mm[c * 3], lr,
                    _mm256_fmadd_ps(mm[c * 3 + 1], lg, _mm256_mul_ps(mm[c * 3 + 2], lb)));
                light = _mm256_min_ps(_mm256_max_ps(light, zero), one);
                const __m256i index
                    = _mm256_cvtps_epi32(_mm256_mul_ps(_mm256_sqrt_ps(light), scale));
                const __m256i level = _mm256_i32gather_epi32(encode, index, 4);
                out = _mm256_or_si256(out,
                    c == 0       ? _mm256_slli_epi32(level, 16)
                        : c == 1 ? _mm256_slli_epi32(level, 8)
                                 : level);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 4 * x), out);
        }
        return x;
    }

    bool haveAvx2()
    {
        static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        return have;
    }
#else
    int convertWideRgb32(const std::array<std::array<float, 256>, 3>&, const std::array<float, 9>&,
        const qint32*, const uchar*, uchar*, int)
    {
        return 0;
    }
    bool haveAvx2()
    {
        return false;
    }
#endif

} // namespace

bool ColourConversion::buildTables(void* handle, Layout layout)
{
    cmsHPROFILE profile = handle;
    // A profile whose colour tables say how to render takes them before its matrix, as in
    // any colour-managed viewer; those go through LittleCMS.
    if (!cmsIsMatrixShaper(profile) || cmsIsCLUT(profile, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT))
        return false;
    auto tables = std::make_unique<Tables>();
    if (layout == Layout::Grey32) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGrayTRCTag));
        if (!curve)
            return false;
        for (int v = 0; v < 256; ++v)
            tables->grey[v] = toByte(srgbEncode(cmsEvalToneCurveFloat(curve, float(v / 255.0))));
        m_tables = std::move(tables);
        return true;
    }
    if (layout != Layout::Rgb32 && layout != Layout::Rgb24 && layout != Layout::Rgba32)
        return false;
    std::array<std::array<double, 3>, 3> source, srgb, toSrgb;
    cmsHPROFILE srgbProfile = cmsCreate_sRGBProfileTHR(static_cast<cmsContext>(m_context));
    const bool haveMatrices = srgbProfile && colorants(profile, source)
        && colorants(srgbProfile, srgb) && invert(srgb, toSrgb);
    if (srgbProfile)
        cmsCloseProfile(srgbProfile);
    const cmsTagSignature curveTags[3] = { cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag };
    const cmsToneCurve* curves[3];
    for (int k = 0; k < 3; ++k)
        curves[k] = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curveTags[k]));
    if (!haveMatrices || !curves[0] || !curves[1] || !curves[2])
        return false;
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            double weight = 0;
            for (int j = 0; j < 3; ++j)
                weight += toSrgb[c][j] * source[j][k];
            tables->matrix[size_t(c * 3 + k)] = float(weight);
        }
    }
    for (int k = 0; k < 3; ++k) {
        for (int v = 0; v < 256; ++v) {
            tables->linear[size_t(k)][size_t(v)] = float(
                std::clamp(double(cmsEvalToneCurveFloat(curves[k], float(v / 255.0))), 0.0, 1.0));
            const double linear
                = std::clamp(double(cmsEvalToneCurveFloat(curves[k], float(v / 255.0))), 0.0, 1.0);
            for (int c = 0; c < 3; ++c) {
                double weight = 0; // the row of toSrgb times the column of source
                for (int j = 0; j < 3; ++j)
                    weight += toSrgb[c][j] * source[j][k];
                tables->share[c * 3 + k][v]
                    = qint32(std::lround(weight * linear * (1 << LinearBits)));
            }
        }
    }
    tables->encode.resize((1 << EncodeBits) + 1);
    for (int i = 0; i <= 1 << EncodeBits; ++i)
        tables->encode[size_t(i)] = toByte(srgbEncode(double(i) / (1 << EncodeBits)));
    tables->encodeRoots.resize(RootSteps + 1);
    for (int i = 0; i <= RootSteps; ++i) {
        const double root = double(i) / RootSteps;
        tables->encodeRoots[size_t(i)] = toByte(srgbEncode(root * root));
    }
    m_tables = std::move(tables);
    return true;
}

ColourConversion::ColourConversion(const QByteArray& iccProfile, Layout layout)
    : m_layout(layout)
{
    const auto [format, space] = layoutOf(layout);
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context)
        return;
    m_context = context;
    cmsHPROFILE source = cmsOpenProfileFromMemTHR(
        context, iccProfile.constData(), cmsUInt32Number(iccProfile.size()));
    if (!source)
        return;
    if (cmsGetColorSpace(source) == space && !buildTables(source, layout)) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
        const cmsUInt32Number flags
            = format == TYPE_RGBA_8 || format == TYPE_BGRA_8 ? cmsFLAGS_COPY_ALPHA : 0;
        if (srgb)
            m_transform = cmsCreateTransformTHR(
                context, source, format, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, flags);
        cmsCloseProfile(srgb);
    }
    cmsCloseProfile(source);
}

ColourConversion::~ColourConversion()
{
    if (m_transform)
        cmsDeleteTransform(m_transform);
    if (m_context)
        cmsDeleteContext(static_cast<cmsContext>(m_context));
}

void ColourConversion::convert(
    const void* in, qsizetype inStride, void* out, qsizetype outStride, int width, int rows) const
{
    if (width <= 0 || rows <= 0)
        return;
    if (m_transform) {
        cmsDoTransformLineStride(m_transform, in, out, cmsUInt32Number(width),
            cmsUInt32Number(rows), cmsUInt32Number(inStride), cmsUInt32Number(outStride), 0, 0);
        return;
    }
    if (!m_tables)
        return;
    const Tables& t = *m_tables;
    for (int y = 0; y < rows; ++y) {
        const auto* from = static_cast<const uchar*>(in) + y * inStride;
        auto* to = static_cast<uchar*>(out) + y * outStride;
        switch (m_layout) {
        case Layout::Grey32:
            for (int x = 0; x < width; ++x, from += 4, to += 4)
                to[0] = to[1] = to[2] = t.grey[from[0]];
            break;
        case Layout::Rgb32: { // blue, green, red, alpha in memory
            int x = haveAvx2()
                ? convertWideRgb32(t.linear, t.matrix, t.encodeRoots.data(), from, to, width)
                : 0;
            for (from += 4 * x, to += 4 * x; x < width; ++x, from += 4, to += 4)
                t.rgbToBgra(from[2], from[1], from[0], to);
            break;
        }
        case Layout::Rgb24:
            for (int x = 0; x < width; ++x, from += 3, to += 4)
                t.rgbToBgra(from[0], from[1], from[2], to);
            break;
        case Layout::Rgba32:
            for (int x = 0; x < width; ++x, from += 4, to += 4) {
                const uchar alpha = from[3];
                t.rgbToBgra(from[0], from[1], from[2], to);
                to[3] = alpha;
            }
            break;
        default:
            break;
        }
    }
}

QByteArray ColourConversion::profileFromCodePoints(int primaries, int transfer)
{
    // Transfers shown as they are: sRGB's, and BT.709's family, which viewers show as sRGB.
    const bool srgbTransfer = transfer == 1 || transfer == 2 || transfer == 6 || transfer == 13
        || transfer == 14 || transfer == 15;
    std::array<double, 5> curve {};
    int curveType = 1;
    if (srgbTransfer) {
        curve = { 2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045 };
        curveType = 4;
    } else if (transfer == 4 || transfer == 5 || transfer == 8) {
        curve[0] = transfer == 4 ? 2.2 : transfer == 5 ? 2.8 : 1.0;
    } else {
        return {}; // high dynamic range or unknown: no faithful picture without tone mapping
    }
    Chromaticities chroma;
    if (!chromaticities(primaries, chroma)) {
        if (srgbTransfer)
            return {}; // BT.709 primaries, or none said: sRGB already
        chroma.white = D65;
        chroma.primaries = { { 0.64, 0.33, 1.0 }, { 0.30, 0.60, 1.0 }, { 0.15, 0.06, 1.0 } };
    }
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    QByteArray bytes;
    cmsToneCurve* tone = cmsBuildParametricToneCurve(context, curveType, curve.data());
    cmsToneCurve* curves[3] = { tone, tone, tone };
    cmsHPROFILE profile = tone
        ? cmsCreateRGBProfileTHR(context, &chroma.white, &chroma.primaries, curves)
        : nullptr;
    cmsUInt32Number size = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
            bytes.clear();
    }
    if (profile)
        cmsCloseProfile(profile);
    if (tone)
        cmsFreeToneCurve(tone);
    cmsDeleteContext(context);
    return bytes;
}

} // namespace mosaiq
