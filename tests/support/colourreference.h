#pragma once

#include "convert/colourtreatment.h"

#include <cmath>

// The treatments cell by cell, written plainly: the engine works through tables built once per
// run, and is checked against these.
namespace mosaiq {

// The grey level of pixel: the mean of the switched-on channels, to the nearest integer, ties to
// even. With no channel on there is nothing to average, so all three count.
inline int greyLevel(ColourValue pixel, const ChannelSwitches& channels)
{
    const auto bits = static_cast<std::uint32_t>(pixel);
    const int red = int(bits & 0xFF), green = int((bits >> 8) & 0xFF),
              blue = int((bits >> 16) & 0xFF);
    const int count = channels.count();
    if (count == 0)
        return int(std::nearbyint((red + green + blue) / 3.0));
    const int sum
        = (channels.red ? red : 0) + (channels.green ? green : 0) + (channels.blue ? blue : 0);
    return int(std::nearbyint(double(sum) / count));
}

// The colour a cell takes for pixel under treatment (its DectoWebCol is the cell's colour).
// A pixel outside the picture (-1) comes out white under every treatment but the tints, where it
// counts as white too.
inline ColourValue CellColour(
    ColourValue pixel, ColourTreatment treatment, const ChannelSwitches& channels)
{
    if (treatment == ColourTreatment::SourceColours)
        return pixel;
    const int grey = greyLevel(pixel, channels);
    switch (treatment) {
    case ColourTreatment::TintRed:
        return makeColour(grey, 0, 0);
    case ColourTreatment::TintGreen:
        return makeColour(0, grey, 0);
    case ColourTreatment::TintBlue:
        return makeColour(0, 0, grey);
    default:
        return makeColour(grey, grey, grey);
    }
}

} // namespace mosaiq
