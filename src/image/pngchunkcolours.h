#pragma once

#include <array>
#include <cmath>

namespace mosaiq {

// What a PNG's gAMA and cHRM chunks say of its colours when it has no iCCP nor sRGB chunk. Plain
// C++: the picture reader makes a profile of it, and the browser's module, which converts no
// colours, leaves to the browser only the pictures that need one.
struct PngChunkColours {
    // Shown as it is, byte for byte: sRGB, or the 2.2 curve and sRGB primaries that writers put
    // beside sRGB pixels, or nothing sensible.
    bool asIs = true;
    bool saidGamma = false; // else sRGB's curve, as for any picture that names none
    // The x and y of white, red, green and blue: the chunk's, or sRGB's when it says nothing.
    std::array<double, 8> chromaticities {};
};

// gamma: as the gAMA chunk gives it (0.45455 for a 2.2 curve; 0 when there is none);
// chromaticities: the cHRM chunk's (zeros when there is none).
inline PngChunkColours pngChunkColours(double gamma, const std::array<double, 8>& chromaticities)
{
    const std::array<double, 8> srgb { 0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06 };
    // Chromaticities outside the diagram say nothing; sRGB's are then assumed, as for none.
    bool saidPrimaries = true, srgbPrimaries = true;
    for (std::size_t i = 0; i < 8; ++i) {
        saidPrimaries = saidPrimaries && chromaticities[i] > 0 && chromaticities[i] <= 1;
        srgbPrimaries = srgbPrimaries && std::abs(chromaticities[i] - srgb[i]) < 0.005;
    }
    PngChunkColours colours;
    colours.chromaticities = saidPrimaries ? chromaticities : srgb;
    colours.saidGamma = gamma >= 0.2 && gamma <= 5;
    const bool srgbGamma = !colours.saidGamma || (gamma > 0.44 && gamma < 0.47);
    colours.asIs = srgbGamma && (!saidPrimaries || srgbPrimaries);
    return colours;
}

} // namespace mosaiq
