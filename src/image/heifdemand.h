#pragma once

#include <cstddef>

namespace mosaiq {

// What a HEIF file would have its decoder fill, told from its boxes before any decoding.
// libheif bounds each side of an image, not its area, and it decodes the pictures a grid or an
// overlay is made of at the sides they announce, which the primary picture's own size says
// nothing about: a file of a few kilobytes can ask for gigabytes that way.
struct HeifDemand {
    // Pixels of the largest image the file holds: coded, grid or overlay, hidden or not; a coded
    // one at the larger of the size it announces and that of its stream.
    long long largestImage = 0;
    // Pixels filled to decode the costliest image, the images it is made of counted as many
    // times as it uses them.
    long long costliestDecoding = 0;
    // A file that contradicts itself: an image made of itself, through any number of steps,
    // images nested deeper than any picture needs, or a coded stream far larger than the size
    // its image announces (which is what the limits are checked against).
    bool malformed = false;
};

// Reads the item boxes of the HEIF file held in the size bytes at data. Boxes it cannot read
// count for nothing: libheif, which reads them next, refuses what is damaged.
HeifDemand heifDemand(const unsigned char* data, std::size_t size);

} // namespace mosaiq
