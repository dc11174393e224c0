#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <jpeglib.h>

namespace mosaiq {

// One libjpeg decode of a JPEG held in memory, whose rows its caller pulls a few at a time into
// memory of its own. libjpeg reports a fatal error by jumping back into the step that called it,
// which then returns false: no caller holds a setjmp, nor anything that a jump would skip
// destroying. Warnings about data the decoder patched over are ignored, as Qt's reader ignores
// them, so that a slightly damaged photo reads as it does there. One thread at a time may use it,
// not necessarily the one that began it.
class JpegDecode {
public:
    JpegDecode();
    ~JpegDecode() { close(); }
    // libjpeg keeps the address of the error manager inside: never copied nor moved.
    JpegDecode(const JpegDecode&) = delete;
    JpegDecode& operator=(const JpegDecode&) = delete;

    // Reads the header of the JPEG held in data (size bytes), which must stay there until the
    // decode is closed. False when libjpeg gave up on it.
    bool readHeader(const std::uint8_t* data, std::size_t size);
    // Once the header is read: 1 grey, 3 colour, 4 CMYK or YCCK; the pixels the frame stores.
    int components() const { return m_info.num_components; }
    std::int64_t storedPixels() const
    {
        return std::int64_t(m_info.image_width) * m_info.image_height;
    }

    // Starts the decode of rows of 4 bytes a pixel in space (JCS_EXT_BGRA, JCS_CMYK). False when
    // libjpeg gave up on the data.
    bool start(J_COLOR_SPACE space);
    // Once started: the size of the decoded picture, and the row that comes next (height() when
    // all are there).
    int width() const { return int(m_info.output_width); }
    int height() const { return int(m_info.output_height); }
    int nextRow() const { return int(m_info.output_scanline); }

    // Decodes the next count rows, at most height() - nextRow(), into rows, a row every stride
    // bytes. False when libjpeg gave up on the data.
    bool readRows(std::uint8_t* rows, std::ptrdiff_t stride, int count);
    // Passes over the next count rows, at most height() - nextRow(), without making their
    // pixels: their data is still read, but neither transformed nor upsampled. False when
    // libjpeg gave up on the data.
    bool skipRows(int count);
    // Reads what follows the last row, to the end-of-image marker. False when libjpeg gave up on
    // it: the decode counts as damaged, as Qt's reader counts it.
    bool finish();

    // Gives libjpeg's memory back; the data may go from then on. The destructor does it too.
    void close();

private:
    struct Errors {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
    };
    template <class Step> bool guarded(Step&& step);

    jpeg_decompress_struct m_info {};
    Errors m_errors {};
    bool m_created = false;
};

} // namespace mosaiq
