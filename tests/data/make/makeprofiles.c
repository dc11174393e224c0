/* Writes the small ICC profiles the test pictures carry, made with LittleCMS itself:
 *   cc makeprofiles.c -llcms2 -o makeprofiles && ./makeprofiles OUTDIR
 * p3.icc (Display P3, matrix and curves), adobergb.icc (Adobe RGB (1998) primaries, gamma 2.2),
 * grey.icc (grey, gamma 1.8), p3lut.icc (Display P3 again as curves and a colour table, which
 * Qt's colour spaces do not take), cmyk.icc (a colour table for inks that are not pure: cyan
 * also absorbs some green, magenta some blue) and srgb.icc (to check the pictures with other
 * tools). */
#include <lcms2.h>
#include <stdio.h>
#include <string.h>

static const cmsCIExyY D65 = { 0.3127, 0.3290, 1.0 };
static char folder[4096];

static void save(cmsHPROFILE profile, const char* name, const char* description)
{
    char path[4200];
    cmsMLU* text = cmsMLUalloc(0, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUsetASCII(text, "en", "US", "No copyright, use freely");
    cmsWriteTag(profile, cmsSigCopyrightTag, text);
    cmsMLUfree(text);
    snprintf(path, sizeof path, "%s/%s", folder, name);
    cmsSaveProfileToFile(profile, path);
    cmsCloseProfile(profile);
}

static cmsToneCurve* srgbCurve(void)
{
    const cmsFloat64Number p[5] = { 2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045 };
    return cmsBuildParametricToneCurve(0, 4, p);
}

static cmsCIExyYTRIPLE p3 = { { 0.680, 0.320, 1.0 }, { 0.265, 0.690, 1.0 }, { 0.150, 0.060, 1.0 } };

static cmsHTRANSFORM toPcs; /* for the samplers */

static int sampleRgb(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo)
{
    cmsFloat64Number rgb[3] = { in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0 };
    cmsCIEXYZ xyz;
    (void)cargo;
    cmsDoTransform(toPcs, rgb, &xyz, 1);
    cmsFloat2XYZEncoded(out, &xyz);
    return 1;
}

static double clamp(double v)
{
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

static int sampleCmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo)
{
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    cmsFloat64Number rgb[3] = { clamp((1 - c) * (1 - k)), clamp((1 - m) * (1 - 0.3 * c) * (1 - k)),
        clamp((1 - y) * (1 - 0.2 * m) * (1 - k)) };
    cmsCIELab lab;
    (void)cargo;
    cmsDoTransform(toPcs, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

int main(int argc, char** argv)
{
    cmsToneCurve* curves[3];
    cmsHPROFILE profile;
    if (argc != 2)
        return 2;
    snprintf(folder, sizeof folder, "%s", argv[1]);

    curves[0] = curves[1] = curves[2] = srgbCurve();
    save(cmsCreateRGBProfile(&D65, &p3, curves), "p3.icc", "Display P3 (test)");
    save(cmsCreate_sRGBProfile(), "srgb.icc", "sRGB (test)");
    cmsFreeToneCurve(curves[0]);

    {
        cmsCIExyYTRIPLE adobe = { { 0.64, 0.33, 1.0 }, { 0.21, 0.71, 1.0 }, { 0.15, 0.06, 1.0 } };
        curves[0] = curves[1] = curves[2] = cmsBuildGamma(0, 563.0 / 256.0);
        save(cmsCreateRGBProfile(&D65, &adobe, curves), "adobergb.icc", "Adobe RGB (test)");
        cmsFreeToneCurve(curves[0]);
    }
    {
        cmsToneCurve* grey = cmsBuildGamma(0, 1.8);
        save(cmsCreateGrayProfile(cmsD50_xyY(), grey), "grey.icc", "Grey gamma 1.8 (test)");
        cmsFreeToneCurve(grey);
    }
    {
        /* Display P3 as input curves and a colour table to XYZ. */
        cmsHPROFILE linear, xyz = cmsCreateXYZProfile();
        cmsToneCurve* one = cmsBuildGamma(0, 1.0);
        cmsPipeline* pipeline = cmsPipelineAlloc(0, 3, 3);
        cmsStage* table = cmsStageAllocCLut16bit(0, 3, 3, 3, NULL);
        curves[0] = curves[1] = curves[2] = one;
        linear = cmsCreateRGBProfile(&D65, &p3, curves);
        toPcs = cmsCreateTransform(linear, TYPE_RGB_DBL, xyz, TYPE_XYZ_DBL,
            INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
        cmsStageSampleCLut16bit(table, sampleRgb, NULL, 0);
        curves[0] = curves[1] = curves[2] = srgbCurve();
        cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, cmsStageAllocToneCurves(0, 3, curves));
        cmsPipelineInsertStage(pipeline, cmsAT_END, table);
        cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(0, 3, NULL));
        profile = cmsCreateProfilePlaceholder(0);
        cmsSetProfileVersion(profile, 4.3);
        cmsSetDeviceClass(profile, cmsSigInputClass);
        cmsSetColorSpace(profile, cmsSigRgbData);
        cmsSetPCS(profile, cmsSigXYZData);
        cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
        cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
        save(profile, "p3lut.icc", "Display P3 as a table (test)");
        cmsPipelineFree(pipeline);
        cmsDeleteTransform(toPcs);
        cmsCloseProfile(linear);
        cmsCloseProfile(xyz);
        cmsFreeToneCurve(one);
        cmsFreeToneCurve(curves[0]);
    }
    {
        /* Inks to Lab through a colour table of 5 points a side. */
        cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(NULL);
        cmsPipeline* pipeline = cmsPipelineAlloc(0, 4, 3);
        cmsStage* table = cmsStageAllocCLut16bit(0, 5, 4, 3, NULL);
        toPcs = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL,
            INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
        cmsStageSampleCLut16bit(table, sampleCmyk, NULL, 0);
        cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, table);
        profile = cmsCreateProfilePlaceholder(0);
        cmsSetProfileVersion(profile, 2.1);
        cmsSetDeviceClass(profile, cmsSigOutputClass);
        cmsSetColorSpace(profile, cmsSigCmykData);
        cmsSetPCS(profile, cmsSigLabData);
        cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
        cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
        save(profile, "cmyk.icc", "Impure inks (test)");
        cmsPipelineFree(pipeline);
        cmsDeleteTransform(toPcs);
        cmsCloseProfile(srgb);
        cmsCloseProfile(lab);
    }
    return 0;
}
