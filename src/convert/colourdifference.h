#pragma once

#include "convert/colourvalue.h"

namespace mosaiq {

// A colour in CIE L*a*b* (D65 white), the space in which colour differences are measured.
struct LabColour {
    double l = 0;
    double a = 0;
    double b = 0;
};

// The L*a*b* of a ColourValue read as sRGB; the invalid colour (-1) is white, as on the page.
LabColour labOf(ColourValue colour);

// The sRGB colour nearest to a L*a*b* colour, each channel clamped to its range and rounded.
ColourValue colourOfLab(const LabColour& lab);

// The CIEDE2000 colour difference between two colours (kL = kC = kH = 1). About 1 is the
// smallest difference most people see side by side; black and white are 100 apart.
double ciede2000(const LabColour& first, const LabColour& second);

// Quick bounds of the square of ciede2000(first, second), without its trigonometry: the hue
// terms at their best and at their worst. Where the upper is within a squared tolerance, the
// difference is within the tolerance; where the lower is beyond it, so is the difference.
// lightnessWeight: that of the colours' mean lightness.
struct DifferenceBounds {
    double lower = 0;
    double upper = 0;
};
DifferenceBounds ciede2000SquaredBounds(
    const LabColour& first, const LabColour& second, double lightnessWeight);

// Close bounds of the square of ciede2000(first, second), for pairs the quick bounds leave
// undecided: the hues, the hue weight and the rotation read from tables rather than from their
// trigonometry.
DifferenceBounds ciede2000SquaredHueBounds(
    const LabColour& first, const LabColour& second, double lightnessWeight);

// Whether ciede2000(first, second) is within a tolerance, from the quick bounds and then the
// close ones, the work they share done once: 1 within, -1 beyond, 0 where neither tells.
int ciede2000BoundsVerdict(const LabColour& first, const LabColour& second, double lightnessWeight,
    double squaredTolerance);

// A quicker and looser upper bound of the square of ciede2000(first, second), from the
// differences of the channels alone: dL^2 + 1.866 (2.25 da^2 + db^2), the weights at least 1,
// a* stretched at most 1.5 and the rotation term adding at most 86.6 % to the chroma and hue
// terms.
inline double ciede2000SquaredCeiling(const LabColour& first, const LabColour& second)
{
    const double l = second.l - first.l, a = second.a - first.a, b = second.b - first.b;
    return (l * l + 4.2 * a * a + 1.87 * b * b) * (1.0 + 1e-9);
}

// The squared distance of two colours in L*a*b*: no measure of what people see, but a quick
// one of how far apart two colours are before CIEDE2000 is worked out.
inline double labSquaredDistance(const LabColour& first, const LabColour& second)
{
    const double l = first.l - second.l, a = first.a - second.a, b = first.b - second.b;
    return l * l + a * a + b * b;
}

// SL of CIEDE2000 for the mean lightness of two colours. The difference is never below
// |L1 - L2| / SL: the chroma and hue terms with their rotation add up to a square, so a pair of
// lightnesses alone can show that two colours are too far apart.
double lightnessWeight(double meanLightness);

} // namespace mosaiq
