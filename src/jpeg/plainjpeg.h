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

// A plain JPEG held in memory (isPlainJpeg) whose rows come in the picture's order (EXIF
// orientation 1 or 2), decoded a band at a time: two workers that share a photo's run each
// decode their own band of it at once, the second passing over the rows above its band. The
// same pixels as decodePlainJpeg's.
class PlainJpegBands {
public:
    PlainJpegBands();
    ~PlainJpegBands();
    PlainJpegBands(const PlainJpegBands&) = delete;
    PlainJpegBands& operator=(const PlainJpegBands&) = delete;

    // Reads the header and starts the decode of the JPEG held in data, which must stay there
    // until the decode is destroyed. False when libjpeg gave up on it, or its rows come in
    // another order.
    bool start(const std::uint8_t* data, std::size_t size, int orientation);
    // Once started: the picture's size, and the row that comes next (height() when all are).
    int width() const;
    int height() const;
    int nextRow() const;
    // Decodes the rows up to last into bits, the picture's words from row bitsFirst on (no row
    // above it is held: those are passed over, never decoded), passing first over those above
    // first that are not decoded yet; once the last row is there, reads on to the end-of-image
    // marker. False when libjpeg gave up on the data, as readPlainJpeg then refuses the whole
    // picture.
    bool decodeTo(int first, int last, std::uint32_t* bits, int bitsFirst = 0);

private:
    struct State;
    std::unique_ptr<State> m_state; // libjpeg's header stays out of this one
};

} // namespace mosaiq
