#pragma once

#include <cstdint>
#include <vector>

namespace mosaiq {

// Filters the lines of a PNG's 8-bit RGB picture, handed over as Qt's Format_RGB32 words
// (0xffRRGGBB), with the filter libpng chooses by default: the one whose bytes weigh least, read
// as signed, the first in order on a tie (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth); on a line
// of more than 512 pixels, weighed on an eighth of it, spread along the line. With AVX2, the
// words are filtered as they stand and only the chosen filter's bytes are put in RGB order: no
// pass of its own over the picture to reorder it; without, each line is put in RGB order
// first. Both ways give the same bytes. One per thread.
class PngFilter {
public:
    // wide: with AVX2 where the processor has it; false: in RGB order, as on any processor.
    explicit PngFilter(bool wide = true);

    // Writes the filter type, then width x 3 filtered bytes, to out. line and above (the line
    // before it, or null for the picture's first) hold width words each.
    void filter(
        const std::uint8_t* line, const std::uint8_t* above, std::int64_t width, std::uint8_t* out);

private:
    bool m_wide;
    // With AVX2: the line above the first. Without: the line and the one above it in RGB
    // order.
    std::vector<std::uint8_t> m_black, m_line, m_above;
};

} // namespace mosaiq
