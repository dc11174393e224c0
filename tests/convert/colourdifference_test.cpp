#include "convert/colourdifference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

using namespace mosaiq;

TEST(ColourDifference, hueBoundsAndVerdictsHoldTheDifferenceOnNearPairsGreysAndAcrossRed)
{
    // Near pairs mostly, where the bounds are used; greys (no hue), reds and magentas (hues on
    // both sides of 0 degrees) and far pairs besides.
    std::mt19937 random(2026);
    auto byte = [&] { return int(random() % 256); };
    for (int i = 0; i < 300'000; ++i) {
        ColourValue first = makeColour(byte(), byte(), byte());
        if (i % 8 == 1) {
            const int grey = byte();
            first = makeColour(grey, grey, grey);
        } else if (i % 8 == 2) {
            first = makeColour(160 + byte() % 96, byte() % 64, 40 + byte() % 80);
        }
        const auto bits = static_cast<std::uint32_t>(first);
        auto near = [&](int shift) {
            return std::clamp(int((bits >> shift) & 0xFF) + int(random() % 25) - 12, 0, 255);
        };
        const ColourValue second = i % 8 == 0 ? makeColour(byte(), byte(), byte())
                                              : makeColour(near(0), near(8), near(16));
        const LabColour a = labOf(first), b = labOf(second);
        const double squared = ciede2000(a, b) * ciede2000(a, b);
        const DifferenceBounds bounds
            = ciede2000SquaredHueBounds(a, b, lightnessWeight((a.l + b.l) / 2.0));
        ASSERT_LE(bounds.lower, squared) << first << " " << second;
        ASSERT_GE(bounds.upper, squared) << first << " " << second;
        for (const double tolerance : { 2.0, 5.0 }) {
            const int verdict = ciede2000BoundsVerdict(
                a, b, lightnessWeight((a.l + b.l) / 2.0), tolerance * tolerance);
            if (verdict != 0) {
                ASSERT_EQ(verdict > 0, ciede2000(a, b) <= tolerance) << first << " " << second;
            }
        }
        // Close enough to tell nearly every near pair from a tolerance.
        if (i % 8 != 0) {
            ASSERT_LE(bounds.upper - bounds.lower, 0.05 * squared + 1e-3) << first << " " << second;
        }
    }
}

TEST(ColourDifference, hueBoundsHoldTheDifferenceOfHuesOppositeOrAcrossRed)
{
    // Hues half a turn apart, or whose sum is a whole turn, to within the rounding of a hue read
    // from a table, where the mean hue and the sign of their difference turn on that rounding.
    constexpr double Pi = 3.14159265358979323846;
    for (double hue = 0.0; hue < 360.0; hue += 0.7) {
        for (const double apart : { 180.0, 0.0 }) {
            for (double off = -4e-4; off <= 4e-4; off += 5e-5) {
                const double other = apart == 180.0 ? hue + 180.0 + off : 360.0 - hue + off;
                for (const double chroma : { 0.3, 2.0, 9.0 }) {
                    const LabColour a { 50.0, chroma * std::cos(hue * Pi / 180.0),
                        chroma * std::sin(hue * Pi / 180.0) };
                    const LabColour b { 50.5, 1.1 * chroma * std::cos(other * Pi / 180.0),
                        1.1 * chroma * std::sin(other * Pi / 180.0) };
                    const double squared = ciede2000(a, b) * ciede2000(a, b);
                    const DifferenceBounds bounds
                        = ciede2000SquaredHueBounds(a, b, lightnessWeight(50.25));
                    ASSERT_LE(bounds.lower, squared) << hue << " " << other << " " << chroma;
                    ASSERT_GE(bounds.upper, squared) << hue << " " << other << " " << chroma;
                }
            }
        }
    }
}
