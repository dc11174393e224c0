#include "image/colourconversion.h"

#include <lcms2.h>

#include <array>

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

ColourConversion::ColourConversion(const QByteArray& iccProfile, Layout layout)
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
    if (cmsGetColorSpace(source) == space) {
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
    if (!m_transform || width <= 0 || rows <= 0)
        return;
    cmsDoTransformLineStride(m_transform, in, out, cmsUInt32Number(width), cmsUInt32Number(rows),
        cmsUInt32Number(inStride), cmsUInt32Number(outStride), 0, 0);
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
