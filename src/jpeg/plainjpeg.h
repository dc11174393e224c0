#pragma once

#include "convert/pixelbuffer.h"

#include <cstdint>
#include <memory>
#include <string>

namespace mosaiq {

// A JPEG read without Qt, or why not.
struct PlainJpeg {
    enum class Outcome {
        Decoded,
        NotPlain, // not a readable regular file holding a JPEG of this kind: the reader's work
        Damaged, // libjpeg gave up on the data
        TooLarge, // more than maxPixels, or no memory for them
    };
    Outcome outcome = Outcome::NotPlain;
    // When decoded: the engine's view of the picture, and what keeps it and whatever still
    // decodes it.
    PixelBuffer pixels;
    std::shared_ptr<const void> owner;
};

enum class JpegRows {
    Whole, // the picture is decoded before readPlainJpeg returns
    // An upright picture is decoded on a thread of its own after readPlainJpeg returns:
    // pixels.arrival says which rows are there, and whether the data held to its end.
    Arriving,
};

// Whether the JPEG held in data is one that readPlainJpeg decodes: whole, grey or colour,
// without colour profile. Its EXIF orientation goes to orientation.
bool isPlainJpeg(const std::uint8_t* data, std::size_t size, int& orientation);

// Reads the file at path when it holds a plain JPEG (isPlainJpeg), decoded in one pass with
// libjpeg and turned as its EXIF orientation says: the same pixels, byte for byte, as the picture
// reader gives for it. Anything else is left to the picture reader.
PlainJpeg readPlainJpeg(
    const std::string& path, std::int64_t maxPixels, JpegRows rows = JpegRows::Whole);

// For a plain JPEG held in memory (isPlainJpeg), as the browser's module reads it: the size of
// the picture turned as orientation (its EXIF orientation) says, from the header alone; false
// when libjpeg gave up on the header.
bool plainJpegSize(
    const std::uint8_t* data, std::size_t size, int orientation, int& width, int& height);
// Decodes it into bits, width x height 0xAARRGGBB words of that size, the same pixels as
// readPlainJpeg. False when libjpeg gave up on the data; the words are then not all written.
bool decodePlainJpeg(
    const std::uint8_t* data, std::size_t size, int orientation, std::uint32_t* bits);

} // namespace mosaiq
