#pragma once

#include "output/files/pagefile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mosaiq {

// A PNG written a few lines at a time onto a file, so that a picture larger than the memory
// can be saved: 8-bit RGB, lines handed over as Qt's Format_RGB32 (0xffRRGGBB words). The lines
// are cut into shares of a few megabytes, each filtered and packed into deflate blocks of its own
// that end on a byte boundary, on any thread, and the shares are joined in their order into the
// one zlib stream a PNG holds, their Adler-32 sums combined.
class PngFile {
public:
    // PNG allows 2^31 - 1 pixels a side, but libpng and most readers refuse more than a million
    // unless told otherwise: a larger file would be one that nobody can open.
    static constexpr std::int64_t LargestSide = 1000000;

    // threads: how many may compress at once in writeLines; 0: one per core.
    explicit PngFile(PageFile& file, unsigned threads = 0);

    // Writes the header of a width x height picture (1 to LargestSide each). False on failure.
    bool begin(std::int64_t width, std::int64_t height);
    // Writes count lines of width words each, stride bytes apart. False on failure.
    bool writeLines(const std::uint8_t* first, std::int64_t stride, int count);
    // Lines of a share: a fixed number for a given width, whatever the threads, so that every
    // machine filters and cuts the lines the same way. The packed bytes are ISA-L's: nearly
    // always the same too, but on several threads under load it has been seen to pack a share
    // another way, once in a few hundred, reading back as the same lines.
    int linesPerShare() const;
    // Bytes that grow without being cleared: the pages of memory that are never written are
    // never touched, and a buffer used again costs no new memory.
    struct Bytes {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t size = 0;
        // Makes room for at least size bytes, dropping what it holds when it has to grow.
        void reserve(std::size_t atLeast);
    };
    // A share of lines, filtered and packed, waiting for its turn.
    struct Share {
        Bytes packed;
        std::size_t size = 0; // bytes of packed in use
        std::uint32_t adler = 1;
        std::int64_t length = 0; // bytes before packing
        int lines = 0;
        bool failed = false;
    };
    // Filters and packs count lines (at most linesPerShare()) of width words each, stride bytes
    // apart, into share; above: the line before the first, as words, or null for the picture's
    // first line. inked, when given: a flag for the line above the first, then one for each
    // line, 0 for a line that holds background (a word) alone, which is then neither read nor
    // weighed (see PagePainter::paintText). Safe on several threads at once, each with a share
    // of its own; the lines are filtered into memory of the thread's own, kept for its next
    // share. May throw std::bad_alloc.
    void pack(Share& share, const std::uint8_t* first, std::int64_t stride, int count,
        const std::uint8_t* above, const char* inked = nullptr, std::uint32_t background = 0) const;
    // Writes share, the next one in the picture. False on failure.
    bool writeShare(const Share& share);
    // Writes the end of the picture; false on failure or when fewer lines than its height were
    // written.
    bool finish();
    // Whether a failure was for want of memory.
    bool outOfMemory() const { return m_outOfMemory; }

private:
    bool writeChunk(const char* type, const std::uint8_t* data, std::size_t size);

    PageFile& m_file;
    unsigned m_threads;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
    std::int64_t m_written = 0;
    std::uint32_t m_adler = 1; // of the filtered lines so far
    std::vector<std::uint32_t> m_lastLine; // the last line handed to writeLines
    bool m_failed = false;
    std::atomic<bool> m_outOfMemory { false };
};

} // namespace mosaiq
