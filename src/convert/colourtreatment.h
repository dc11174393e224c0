#pragma once

#include "convert/colourvalue.h"

#include <cstdint>

namespace mosaiq {

// The index of the chosen colour option, 0-4.
enum class ColourTreatment : std::uint8_t {
    SourceColours = 0,
    TintRed = 1,
    TintGreen = 2,
    TintBlue = 3,
    BlackAndWhite = 4,
};

// Which channels count towards the grey level. The window keeps all three on.
struct ChannelSwitches {
    bool red = true;
    bool green = true;
    bool blue = true;

    std::int16_t count() const { return std::int16_t(int(red) + int(green) + int(blue)); }
};

} // namespace mosaiq
