#include "convert/oklab.h"

#include <algorithm>

namespace mosaiq {

namespace {

    // For each of Buckets slices of 0-1, the first byte whose linear light is at least the
    // slice's start: the search for a value starts there, past every byte below it.
    constexpr int Buckets = 4096;
    const std::array<std::uint8_t, Buckets>& bucketStarts()
    {
        static const std::array<std::uint8_t, Buckets> starts = [] {
            const std::array<float, 256>& table = srgbToLinear();
            std::array<std::uint8_t, Buckets> first {};
            std::size_t byte = 0;
            for (int b = 0; b < Buckets; ++b) {
                const float start = float(b) / float(Buckets);
                while (byte < 255 && table[byte] < start)
                    ++byte;
                first[std::size_t(b)] = std::uint8_t(byte);
            }
            return first;
        }();
        return starts;
    }

    // The 8-bit value whose linear light is nearest to linear (0-1), the lower of two equally
    // near, in the same table the colours were read through: a colour read and written back is
    // the colour itself.
    std::uint32_t nearestByte(float linear)
    {
        const std::array<float, 256>& table = srgbToLinear();
        // linear times a power of two is exact, so the slice starts at or below it.
        const auto bucket = std::size_t(std::min(linear * float(Buckets), float(Buckets - 1)));
        std::size_t above = bucketStarts()[bucket];
        while (above < 256 && table[above] < linear)
            ++above;
        if (above == 0)
            return 0;
        if (above == 256)
            return 255;
        const std::size_t below = above - 1;
        return std::uint32_t(linear - table[below] <= table[above] - linear ? below : above);
    }

} // namespace

OkLab okLabFromRgb(std::uint32_t rgb)
{
    const std::array<float, 256>& linear = srgbToLinear();
    return okLabFromLinear(
        linear[(rgb >> 16) & 0xFF], linear[(rgb >> 8) & 0xFF], linear[rgb & 0xFF]);
}

std::uint32_t rgbFromOkLab(const OkLab& c)
{
    const float l = c.l + 0.3963377774f * c.a + 0.2158037573f * c.b;
    const float m = c.l - 0.1055613458f * c.a - 0.0638541728f * c.b;
    const float s = c.l - 0.0894841775f * c.a - 1.2914855480f * c.b;
    const float l3 = l * l * l, m3 = m * m * m, s3 = s * s * s;
    const float red = 4.0767416621f * l3 - 3.3077115913f * m3 + 0.2309699292f * s3;
    const float green = -1.2684380046f * l3 + 2.6097574011f * m3 - 0.3413193965f * s3;
    const float blue = -0.0041960863f * l3 - 0.7034186147f * m3 + 1.7076147010f * s3;
    return nearestByte(std::clamp(red, 0.0f, 1.0f)) << 16
        | nearestByte(std::clamp(green, 0.0f, 1.0f)) << 8
        | nearestByte(std::clamp(blue, 0.0f, 1.0f));
}

} // namespace mosaiq
