#include "convert/colourdifference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

using namespace mosaiq;

TEST(ColourDifference, hueBoundsHoldTheDifferenceCloselyOnNearPairsGreysAndAcrossRed)
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
        // Close enough to tell nearly every near pair from a tolerance.
        if (i % 8 != 0) {
            ASSERT_LE(bounds.upper - bounds.lower, 0.05 * squared + 1e-3) << first << " " << second;
        }
    }
}
