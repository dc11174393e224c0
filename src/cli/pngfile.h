#pragma once

#include "output/codes/pagefile.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace mosaiq {

// A PNG written a few lines at a time onto a file, so that a picture larger than the memory
// can be saved: 8-bit RGB, lines handed over as Qt's Format_RGB32 (0xffRRGGBB words). Each batch
// of lines is filtered and compressed on several threads: the lines are cut into shares of a few
// megabytes, each packed into deflate blocks of its own that end on a byte boundary, and the
// shares are joined into the one zlib stream a PNG holds, their Adler-32 sums combined.
class PngFile {
public:
    // PNG allows 2^31 - 1 pixels a side, but libpng and most readers refuse more than a million
    // unless told otherwise: a larger file would be one that nobody can open.
    static constexpr std::int64_t LargestSide = 1000000;

    // threads: how many may compress at once; 0: one per core.
    explicit PngFile(PageFile& file, unsigned threads = 0);

    // Writes the header of a width x height picture (1 to LargestSide each). False on failure.
    bool begin(std::int64_t width, std::int64_t height);
    // Writes count lines of width words each, stride bytes apart. False on failure.
    bool writeLines(const std::uint8_t* first, std::int64_t stride, int count);
    // Writes the end of the picture; false on failure or when fewer lines than its height were
    // written.
    bool finish();
    // Whether a failure was for want of memory.
    bool outOfMemory() const { return m_outOfMemory; }

private:
    struct Share {
        std::vector<std::uint8_t> packed;
        std::uint32_t adler = 1;
        std::int64_t length = 0; // bytes before packing
        bool failed = false;
    };
    void pack(Share& share, const std::uint8_t* first, std::int64_t stride, int begin, int end,
        const std::uint8_t* above) const;
    bool writeChunk(const char* type, const std::uint8_t* data, std::size_t size);

    PageFile& m_file;
    unsigned m_threads;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
    std::int64_t m_written = 0;
    std::uint32_t m_adler = 1; // of the filtered lines so far
    std::vector<std::uint8_t> m_lastLine; // the last line written, as RGB
    bool m_failed = false;
    std::atomic<bool> m_outOfMemory { false };
};

} // namespace mosaiq
