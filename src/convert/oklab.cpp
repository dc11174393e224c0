#include "convert/oklab.h"

#include <algorithm>

namespace mosaiq {

namespace {

    // The 8-bit value whose linear light is nearest to linear, by bisection of the same table the
    // colours were read through: a colour read and written back is the colour itself.
    std::uint32_t nearestByte(float linear)
    {
        const std::array<float, 256>& table = srgbToLinear();
        const auto above = std::lower_bound(table.begin(), table.end(), linear);
        if (above == table.begin())
            return 0;
        if (above == table.end())
            return 255;
        const auto below = above - 1;
        return std::uint32_t(
            linear - *below <= *above - linear ? below - table.begin() : above - table.begin());
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
