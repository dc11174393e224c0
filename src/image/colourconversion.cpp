#include "image/colourconversion.h"

#include "image/matrixconversion.h"
#include "image/pngchunkcolours.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>

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

    // An RGB profile of the given chromaticities with one parametric curve (LittleCMS types).
    QByteArray profileOf(
        const Chromaticities& chroma, int curveType, const std::array<double, 5>& curve)
    {
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

} // namespace

namespace {

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

bool ColourConversion::buildTables(void* handle, Layout layout)
{
    cmsHPROFILE profile = handle;
    // A profile whose colour tables say how to render takes them before its matrix, as in
    // any colour-managed viewer; those go through LittleCMS.
    if (!cmsIsMatrixShaper(profile) || cmsIsCLUT(profile, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT))
        return false;
    auto curveAt = [](const cmsToneCurve* curve, int level) {
        const double light = cmsEvalToneCurveFloat(curve, float(level / 255.0));
        return std::isfinite(light) ? std::clamp(light, 0.0, 1.0) : 0.0;
    };
    if (layout == Layout::Grey32) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGrayTRCTag));
        if (!curve)
            return false;
        std::array<double, 256> grey;
        for (int v = 0; v < 256; ++v)
            grey[size_t(v)] = curveAt(curve, v);
        m_tables = std::make_unique<MatrixConversion>(grey);
        return true;
    }
    if (layout != Layout::Rgb32 && layout != Layout::Rgb24 && layout != Layout::Rgba32)
        return false;
    std::array<std::array<double, 3>, 3> source, srgb, toSrgbPrimaries;
    cmsHPROFILE srgbProfile = cmsCreate_sRGBProfileTHR(static_cast<cmsContext>(m_context));
    const bool haveMatrices = srgbProfile && colorants(profile, source)
        && colorants(srgbProfile, srgb) && invert(srgb, toSrgbPrimaries);
    if (srgbProfile)
        cmsCloseProfile(srgbProfile);
    const cmsTagSignature curveTags[3] = { cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag };
    const cmsToneCurve* curves[3];
    for (int k = 0; k < 3; ++k)
        curves[k] = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curveTags[k]));
    if (!haveMatrices || !curves[0] || !curves[1] || !curves[2])
        return false;
    // Linear light of the profile, to the connection space, to sRGB's linear light.
    std::array<std::array<double, 3>, 3> toSrgb {};
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 3; ++j)
                toSrgb[size_t(c)][size_t(k)]
                    += toSrgbPrimaries[size_t(c)][size_t(j)] * source[size_t(j)][size_t(k)];
        }
    }
    // Real primaries give entries of a few units (2.5 for the widest in use); a profile whose
    // colorants say otherwise goes through LittleCMS, out of reach of the fixed-point tables.
    for (const auto& row : toSrgb) {
        for (double entry : row) {
            if (!std::isfinite(entry) || std::abs(entry) > 16)
                return false;
        }
    }
    std::array<std::array<double, 256>, 3> linear;
    for (int k = 0; k < 3; ++k) {
        for (int v = 0; v < 256; ++v)
            linear[size_t(k)][size_t(v)] = curveAt(curves[k], v);
    }
    m_tables = std::make_unique<MatrixConversion>(linear, toSrgb);
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
    for (int y = 0; y < rows; ++y) {
        const auto* from = static_cast<const uchar*>(in) + y * inStride;
        auto* to = static_cast<uchar*>(out) + y * outStride;
        switch (m_layout) {
        case Layout::Rgb32:
            m_tables->convertRgb32(from, to, width);
            break;
        case Layout::Grey32:
            m_tables->convertGrey32(from, to, width);
            break;
        case Layout::Rgb24:
            m_tables->convertRgb24(from, to, width);
            break;
        case Layout::Rgba32:
            m_tables->convertRgba32(from, to, width);
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
    return profileOf(chroma, curveType, curve);
}

QByteArray ColourConversion::profileFromPngChunks(
    double gamma, const std::array<double, 8>& chromaticities)
{
    const PngChunkColours colours = pngChunkColours(gamma, chromaticities);
    if (colours.asIs)
        return {};
    const std::array<double, 8>& used = colours.chromaticities;
    Chromaticities chroma;
    chroma.white = { used[0], used[1], 1.0 };
    chroma.primaries
        = { { used[2], used[3], 1.0 }, { used[4], used[5], 1.0 }, { used[6], used[7], 1.0 } };
    if (!colours.saidGamma) // primaries alone: sRGB's curve, as for any picture that names none
        return profileOf(chroma, 4, { 2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045 });
    return profileOf(chroma, 1, { 1.0 / gamma, 0, 0, 0, 0 });
}

} // namespace mosaiq
