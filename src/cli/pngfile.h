#pragma once

#include "output/codes/pagefile.h"

#include <cstdint>

struct png_struct_def;
struct png_info_def;

namespace mosaiq {

// A PNG written a few lines at a time onto a file, so that a picture larger than the memory
// can be saved: 8-bit RGB, lines handed over as Qt's Format_RGB32 (0xffRRGGBB words).
class PngFile {
public:
    // PNG allows 2^31 - 1 pixels a side, but libpng and most readers refuse more than a million
    // unless told otherwise: a larger file would be one that nobody can open.
    static constexpr std::int64_t LargestSide = 1000000;

    explicit PngFile(PageFile& file);
    ~PngFile();
    PngFile(const PngFile&) = delete;
    PngFile& operator=(const PngFile&) = delete;

    // Writes the header of a width x height picture (1 to LargestSide each). False on failure.
    bool begin(std::int64_t width, std::int64_t height);
    // Writes count lines of width words each, stride bytes apart. False on failure.
    bool writeLines(const std::uint8_t* first, std::int64_t stride, int count);
    // Writes the end of the picture; false on failure or when fewer lines than its height were
    // written.
    bool finish();

private:
    static void writeBytes(png_struct_def* png, std::uint8_t* bytes, std::size_t size);
    static void flushBytes(png_struct_def* png);

    PageFile& m_file;
    png_struct_def* m_png = nullptr;
    png_info_def* m_info = nullptr;
    std::int64_t m_height = 0;
    std::int64_t m_written = 0;
    bool m_failed = false;
};

} // namespace mosaiq
