#include "convert/colourdifference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

namespace mosaiq {

namespace {

    constexpr double Degrees = 180.0 / std::numbers::pi;

    // sRGB bytes to linear light, computed once; read-only afterwards, so threads may share it.
    const std::array<double, 256>& linearOfByte()
    {
        static const std::array<double, 256> table = [] {
            std::array<double, 256> values {};
            for (int i = 0; i < 256; ++i) {
                const double c = i / 255.0;
                values[std::size_t(i)]
                    = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            }
            return values;
        }();
        return table;
    }

    // Where colourOfLab() starts looking for a linear light: for each of LightSteps equal steps
    // of [0, 1], the first byte whose linear light is at least the step's start. No two bytes'
    // linear lights are within a step of each other (the nearest, 0 and 1, are 3.0e-4 apart,
    // a step 2.4e-4), so the byte sought is that one or the next.
    constexpr std::size_t LightSteps = 4096;
    const std::array<std::uint8_t, LightSteps>& firstByteOfStep()
    {
        static const std::array<std::uint8_t, LightSteps> table = [] {
            std::array<std::uint8_t, LightSteps> bytes {};
            const auto& linear = linearOfByte();
            std::size_t byte = 0;
            for (std::size_t step = 0; step < LightSteps; ++step) {
                while (byte < 255 && linear[byte] < double(step) / double(LightSteps))
                    ++byte;
                bytes[step] = std::uint8_t(byte);
            }
            return bytes;
        }();
        return table;
    }

    // The cube root of t for 0 < t < 8, to the last bits of a double: the library's own is a
    // third of the time of a whole merged row.
    double cubeRoot(double t)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &t, 8);
        bits = bits / 3 + 0x2A9F7893782DA1CEull; // a first guess within a few per cent
        double y;
        std::memcpy(&y, &bits, 8);
        for (int i = 0; i < 4; ++i)
            y -= (y * y * y - t) / (3.0 * y * y);
        return y;
    }

    double labCurve(double t)
    {
        constexpr double epsilon = 216.0 / 24389.0, kappa = 24389.0 / 27.0;
        return t > epsilon ? cubeRoot(t) : (kappa * t + 16.0) / 116.0;
    }

    double power7(double x)
    {
        const double x2 = x * x;
        return x2 * x2 * x2 * x;
    }

    double hueDegrees(double b, double a)
    {
        if (a == 0.0 && b == 0.0)
            return 0.0;
        const double h = std::atan2(b, a) * Degrees;
        return h < 0.0 ? h + 360.0 : h;
    }

    // atan(i / 256) in degrees, for i from 0 to 256.
    const std::array<double, 257>& arctangentsByStep()
    {
        static const std::array<double, 257> table = [] {
            std::array<double, 257> angles {};
            for (std::size_t i = 0; i <= 256; ++i)
                angles[i] = std::atan(double(i) / 256.0) * Degrees;
            return angles;
        }();
        return table;
    }
    // How far nearHueDegrees() strays from hueDegrees() at most, in degrees: a straight line
    // between steps of 1/256 strays from the arctangent by at most an eighth of its largest
    // second derivative (0.65) times the squared step, 1.24e-6 radians or 7.1e-5 degrees.
    constexpr double HueError = 1e-4;

    // hueDegrees(b, a) within HueError, from the table: its quadrant from the signs as atan2
    // takes it (so a hue never strays across 0 degrees), the angle within it from the lesser
    // of |a| and |b| over the greater.
    double nearHueDegrees(double b, double a)
    {
        if (a == 0.0 && b == 0.0)
            return 0.0;
        const double x = std::abs(a), y = std::abs(b);
        const bool steep = y > x;
        const double scaled = (steep ? x / y : y / x) * 256.0;
        const std::size_t step = scaled < 255.0 ? std::size_t(scaled) : 255; // NaN too
        const auto& angles = arctangentsByStep();
        const double angle
            = angles[step] + (scaled - double(step)) * (angles[step + 1] - angles[step]);
        double hue = steep ? 90.0 - angle : angle;
        if (a < 0.0)
            hue = 180.0 - hue;
        return b < 0.0 ? 360.0 - hue : hue;
    }

    // h2' - h1' taken the short way round, in degrees: 0 where either chroma is 0.
    double hueDifferenceOf(double cp1, double cp2, double hp1, double hp2)
    {
        if (cp1 * cp2 == 0.0)
            return 0.0;
        const double difference = hp2 - hp1;
        if (difference > 180.0)
            return difference - 360.0;
        return difference < -180.0 ? difference + 360.0 : difference;
    }

    // CIEDE2000's mean hue of two colours of chromas cp1 and cp2 (after G) and hues hp1, hp2.
    double meanHueOf(double cp1, double cp2, double hp1, double hp2)
    {
        double meanHue = hp1 + hp2;
        if (cp1 * cp2 != 0.0) {
            if (std::abs(hp1 - hp2) <= 180.0)
                meanHue /= 2.0;
            else
                meanHue = meanHue < 360.0 ? (meanHue + 360.0) / 2.0 : (meanHue - 360.0) / 2.0;
        }
        return meanHue;
    }

    // T of the hue weight at a mean hue, in degrees.
    double hueWeightTerm(double meanHue)
    {
        return 1.0 - 0.17 * std::cos((meanHue - 30.0) / Degrees)
            + 0.24 * std::cos(2.0 * meanHue / Degrees)
            + 0.32 * std::cos((3.0 * meanHue + 6.0) / Degrees)
            - 0.20 * std::cos((4.0 * meanHue - 63.0) / Degrees);
    }

    // sin(2 delta theta) of the rotation at a mean hue, in degrees (the rotation is minus it
    // times RC).
    double rotationTerm(double meanHue)
    {
        const double hueFrom275 = (meanHue - 275.0) / 25.0;
        const double deltaTheta = 30.0 * std::exp(-hueFrom275 * hueFrom275);
        return std::sin(2.0 * deltaTheta / Degrees);
    }

    // Both terms at each whole degree of mean hue, 0 to 360. Between two degrees a term strays
    // from the straight line between them by at most an eighth of its largest second derivative
    // (per squared degree, 2.2e-3 for T, 4.7e-3 for the rotation's sine): 2.8e-4 and 5.9e-4,
    // 2.4e-4 each as found at 400 points a degree; a mean hue HueError off moves them by their
    // slopes (0.042 and 0.036 a degree) times it, 4.2e-6 at most. HueTermSlack covers all that
    // with room for rounding.
    struct HueTerms {
        double weight, rotation;
    };
    constexpr double HueTermSlack = 1e-3;
    const std::array<HueTerms, 361>& hueTermsByDegree()
    {
        static const std::array<HueTerms, 361> table = [] {
            std::array<HueTerms, 361> terms {};
            for (int h = 0; h <= 360; ++h)
                terms[std::size_t(h)] = { hueWeightTerm(h), rotationTerm(h) };
            return terms;
        }();
        return table;
    }

} // namespace

LabColour labOf(ColourValue colour)
{
    const auto bits = static_cast<std::uint32_t>(colour);
    const auto& linear = linearOfByte();
    const double r = linear[bits & 0xFF], g = linear[(bits >> 8) & 0xFF],
                 b = linear[(bits >> 16) & 0xFF];
    // sRGB to XYZ, then divided by the D65 white point.
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const double fx = labCurve(x), fy = labCurve(y), fz = labCurve(z);
    return { 116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz) };
}

ColourValue colourOfLab(const LabColour& lab)
{
    auto inverseCurve = [](double f) {
        constexpr double delta = 6.0 / 29.0;
        return f > delta ? f * f * f : 3.0 * delta * delta * (f - 4.0 / 29.0);
    };
    const double fy = (lab.l + 16.0) / 116.0;
    const double x = 0.95047 * inverseCurve(fy + lab.a / 500.0);
    const double y = inverseCurve(fy);
    const double z = 1.08883 * inverseCurve(fy - lab.b / 200.0);
    const double linear[3] = { 3.2404542 * x - 1.5371385 * y - 0.4985314 * z,
        -0.9692660 * x + 1.8760108 * y + 0.0415560 * z,
        0.0556434 * x - 0.2040259 * y + 1.0572252 * z };
    int bytes[3];
    const auto& table = linearOfByte();
    const auto& firstBytes = firstByteOfStep();
    for (int i = 0; i < 3; ++i) {
        // The byte whose linear light is nearest, found in the table rather than by a power:
        // the first at least as light (std::lower_bound's), from the first of its step of
        // [0, 1] or the next, without a branch; the lights outside [0, 1] from the first step
        // or the last (a NaN from the first, where lower_bound ends too).
        const double scaled = linear[i] * double(LightSteps);
        const std::size_t step = scaled >= double(LightSteps - 1)
            ? LightSteps - 1
            : (scaled > 0.0 ? std::size_t(scaled) : 0);
        const std::size_t first = firstBytes[step];
        int byte = int(first) + (table[first] < linear[i] ? 1 : 0);
        if (byte == 256
            || (byte > 0
                && linear[i] - table[std::size_t(byte - 1)] < table[std::size_t(byte)] - linear[i]))
            --byte;
        bytes[i] = byte;
    }
    return makeColour(bytes[0], bytes[1], bytes[2]);
}

double lightnessWeight(double meanLightness)
{
    const double l50 = (meanLightness - 50.0) * (meanLightness - 50.0);
    return 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
}

namespace {

    // What both bounds take from a pair of colours, as ciede2000() works it out.
    struct DifferenceParts {
        double a1, a2, b1, b2; // a* after G, and b*
        double cp1, cp2; // the chromas after G
        double chromaHue; // delta C'^2 + delta H'^2: the squared distance in the a'b' plane
        double meanCp, rc, sc;
        double l, c; // delta L / SL, delta C' / SC
    };

    DifferenceParts partsOf(const LabColour& first, const LabColour& second, double lightnessWeight)
    {
        const double pow25to7 = 6103515625.0; // 25^7
        const double c1 = std::sqrt(first.a * first.a + first.b * first.b);
        const double c2 = std::sqrt(second.a * second.a + second.b * second.b);
        const double meanC7 = power7((c1 + c2) / 2.0);
        const double g = 0.5 * (1.0 - std::sqrt(meanC7 / (meanC7 + pow25to7)));
        DifferenceParts parts;
        parts.a1 = (1.0 + g) * first.a;
        parts.a2 = (1.0 + g) * second.a;
        parts.b1 = first.b;
        parts.b2 = second.b;
        const double deltaA = parts.a2 - parts.a1, deltaB = second.b - first.b;
        parts.chromaHue = deltaA * deltaA + deltaB * deltaB;
        parts.cp1 = std::sqrt(parts.a1 * parts.a1 + first.b * first.b);
        parts.cp2 = std::sqrt(parts.a2 * parts.a2 + second.b * second.b);
        parts.meanCp = (parts.cp1 + parts.cp2) / 2.0;
        parts.sc = 1.0 + 0.045 * parts.meanCp;
        const double meanCp7 = power7(parts.meanCp);
        parts.rc = 2.0 * std::sqrt(meanCp7 / (meanCp7 + pow25to7));
        parts.l = (second.l - first.l) / lightnessWeight;
        parts.c = (parts.cp2 - parts.cp1) / parts.sc;
        return parts;
    }

    DifferenceBounds quickBounds(const DifferenceParts& parts)
    {
        // delta C' and SC are those of the difference itself; delta H'^2 is what delta C'^2
        // leaves of the squared distance in the a'b' plane. T of the hue weight lies between
        // 0.362 (at a mean hue of 290 degrees) and 1.58, so SH lies between shLeast and SC; the
        // rotation term adds or takes at most |RT| |c h|, |RT| being at most sin(60 degrees) RC,
        // and |c h| at most (c^2 + h^2) / 2.
        const double shLeast = 1.0 + 0.015 * parts.meanCp * 0.362;
        const double deltaC = parts.cp2 - parts.cp1;
        const double hMost = std::sqrt(std::max(0.0, parts.chromaHue - deltaC * deltaC)) / shLeast;
        const double l = parts.l, c = parts.c, rc = parts.rc;
        const double upper = l * l + c * c + hMost * hMost + 0.8661 * rc * std::abs(c) * hMost;
        const double lower = l * l + (1.0 - 0.4331 * rc) * parts.chromaHue / (parts.sc * parts.sc);
        return { lower * (1.0 - 2e-9), upper * (1.0 + 2e-9) };
    }

    DifferenceBounds hueBounds(const DifferenceParts& parts)
    {
        // The hues are read from a table of arctangents; delta H'^2 is what delta C'^2 leaves of
        // the squared distance in the a'b' plane, with the sign of the hues' difference, and T
        // and the rotation's sine are read between the whole degrees on either side of the mean
        // hue.
        const double cp1 = parts.cp1, cp2 = parts.cp2;
        double hp1 = nearHueDegrees(parts.b1, parts.a1), hp2 = nearHueDegrees(parts.b2, parts.a2);
        double hueError = HueError;
        // Where hues that near could take another branch than the true ones below, the true ones.
        auto atEdge
            = [](double value, double edge) { return std::abs(value - edge) <= 4.0 * HueError; };
        if (cp1 * cp2 != 0.0 && (atEdge(std::abs(hp1 - hp2), 180.0) || atEdge(hp1 + hp2, 360.0))) {
            hp1 = hueDegrees(parts.b1, parts.a1);
            hp2 = hueDegrees(parts.b2, parts.a2);
            hueError = 0.0;
        }
        const double deltaHue = hueDifferenceOf(cp1, cp2, hp1, hp2);
        const double meanHue = meanHueOf(cp1, cp2, hp1, hp2);
        const double clamped = meanHue >= 0.0 ? std::min(meanHue, 360.0) : 0.0; // NaN too
        const auto degree = std::min(std::size_t(clamped), std::size_t(359));
        const double along = clamped - double(degree);
        const auto& terms = hueTermsByDegree();
        const HueTerms& low = terms[degree];
        const HueTerms& high = terms[degree + 1];
        const double t = low.weight + along * (high.weight - low.weight);
        const double s = low.rotation + along * (high.rotation - low.rotation);
        const double leastT = t - HueTermSlack, mostT = t + HueTermSlack;
        const double leastS = std::max(0.0, s - HueTermSlack), mostS = s + HueTermSlack;

        const double deltaC = cp2 - cp1;
        const double squaredH = std::max(0.0, parts.chromaHue - deltaC * deltaC);
        // 1 / SH at its least and most.
        const double leastInverse = 1.0 / (1.0 + 0.015 * parts.meanCp * mostT);
        const double mostInverse = 1.0 / (1.0 + 0.015 * parts.meanCp * std::max(0.0, leastT));
        const double l = parts.l, c = parts.c;
        // The rotation term is -S RC c delta H / SH: p is RC c delta H, its sign the hues'.
        const double p = parts.rc * c * std::sqrt(squaredH) * (deltaHue < 0.0 ? -1.0 : 1.0);
        double rotationLeast = p >= 0.0 ? -mostS * p * mostInverse : -leastS * p * leastInverse;
        double rotationMost = p >= 0.0 ? -leastS * p * leastInverse : -mostS * p * mostInverse;
        if (std::abs(deltaHue) <= 2.0 * hueError) {
            // The sign of the hues' difference is not known: either.
            rotationMost = mostS * std::abs(p) * mostInverse;
            rotationLeast = -rotationMost;
        }
        const double lower = l * l + c * c + squaredH * leastInverse * leastInverse + rotationLeast;
        const double upper = l * l + c * c + squaredH * mostInverse * mostInverse + rotationMost;
        // Rounding: delta H'^2 found from the plane rather than from the sine strays from it by
        // less than 1e-11 for any L*a*b* colours, its square root by less than 3.2e-6 where it
        // is near zero, which the rotation term (S at most 0.87, RC at most 2) carries times |c|.
        const double slack = 1e-5 * (1.0 + std::abs(c));
        return { lower * (1.0 - 1e-7) - slack, upper * (1.0 + 1e-7) + slack };
    }

} // namespace

DifferenceBounds ciede2000SquaredBounds(
    const LabColour& first, const LabColour& second, double lightnessWeight)
{
    return quickBounds(partsOf(first, second, lightnessWeight));
}

DifferenceBounds ciede2000SquaredHueBounds(
    const LabColour& first, const LabColour& second, double lightnessWeight)
{
    return hueBounds(partsOf(first, second, lightnessWeight));
}

int ciede2000BoundsVerdict(const LabColour& first, const LabColour& second, double lightnessWeight,
    double squaredTolerance)
{
    const DifferenceParts parts = partsOf(first, second, lightnessWeight);
    const DifferenceBounds quick = quickBounds(parts);
    if (quick.upper <= squaredTolerance)
        return 1;
    if (quick.lower > squaredTolerance)
        return -1;
    const DifferenceBounds close = hueBounds(parts);
    if (close.upper <= squaredTolerance)
        return 1;
    return close.lower > squaredTolerance ? -1 : 0;
}

double ciede2000(const LabColour& first, const LabColour& second)
{
    const double pow25to7 = 6103515625.0; // 25^7
    // Chromas are at most a few hundred: the plain square root is exact enough and far quicker
    // than hypot.
    const double c1 = std::sqrt(first.a * first.a + first.b * first.b);
    const double c2 = std::sqrt(second.a * second.a + second.b * second.b);
    const double meanC = (c1 + c2) / 2.0;
    const double meanC7 = power7(meanC);
    const double g = 0.5 * (1.0 - std::sqrt(meanC7 / (meanC7 + pow25to7)));
    const double a1 = (1.0 + g) * first.a, a2 = (1.0 + g) * second.a;
    const double cp1 = std::sqrt(a1 * a1 + first.b * first.b);
    const double cp2 = std::sqrt(a2 * a2 + second.b * second.b);
    const double hp1 = hueDegrees(first.b, a1), hp2 = hueDegrees(second.b, a2);

    const double deltaL = second.l - first.l;
    const double deltaC = cp2 - cp1;
    const double deltaHue = hueDifferenceOf(cp1, cp2, hp1, hp2);
    const double deltaH = 2.0 * std::sqrt(cp1 * cp2) * std::sin(deltaHue / 2.0 / Degrees);

    const double meanL = (first.l + second.l) / 2.0;
    const double meanCp = (cp1 + cp2) / 2.0;
    const double meanHue = meanHueOf(cp1, cp2, hp1, hp2);
    const double t = 1.0 - 0.17 * std::cos((meanHue - 30.0) / Degrees)
        + 0.24 * std::cos(2.0 * meanHue / Degrees)
        + 0.32 * std::cos((3.0 * meanHue + 6.0) / Degrees)
        - 0.20 * std::cos((4.0 * meanHue - 63.0) / Degrees);
    const double hueFrom275 = (meanHue - 275.0) / 25.0;
    const double deltaTheta = 30.0 * std::exp(-hueFrom275 * hueFrom275);
    const double meanCp7 = power7(meanCp);
    const double rc = 2.0 * std::sqrt(meanCp7 / (meanCp7 + pow25to7));
    const double sl = lightnessWeight(meanL);
    const double sc = 1.0 + 0.045 * meanCp;
    const double sh = 1.0 + 0.015 * meanCp * t;
    const double rt = -std::sin(2.0 * deltaTheta / Degrees) * rc;

    const double l = deltaL / sl, c = deltaC / sc, h = deltaH / sh;
    return std::sqrt(std::max(0.0, l * l + c * c + h * h + rt * c * h));
}

} // namespace mosaiq
