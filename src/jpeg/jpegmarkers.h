#pragma once

#include <cstddef>
#include <cstdint>

namespace mosaiq {

// Walks the markers of a JPEG from after its start-of-image marker to its end-of-image marker,
// handing each marker segment to onSegment(marker, body, bodyLength) where body is the position
// after the segment's length. Bytes is read through at(pos) (-1 past the end), u16(pos, true),
// find(pos, 0xFF) (-1 when none) and size(): a file on disk and a buffer in memory are walked
// by the same rules. Returns false when the data ends, or breaks, before the end-of-image
// marker.
template <class Bytes, class OnSegment> bool walkJpegMarkers(Bytes& bytes, OnSegment&& onSegment)
{
    std::int64_t pos = 2;
    for (;;) {
        pos = bytes.find(pos, char(0xFF));
        if (pos < 0)
            return false;
        int marker = bytes.at(pos + 1);
        while (marker == 0xFF) // fill bytes before a marker
            marker = bytes.at(++pos + 1);
        if (marker < 0)
            return false;
        pos += 2;
        if (marker == 0xD9) // end of image
            return true;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue; // stuffed byte, TEM or restart: no length follows
        const std::int64_t length = bytes.u16(pos, true);
        if (length < 2 || pos + length > std::int64_t(bytes.size()))
            return false;
        onSegment(marker, pos + 2, length - 2);
        pos += length;
        // After a scan header comes entropy-coded data, which the next marker ends; the search
        // above skips it, stuffed bytes and restart markers included.
    }
}

// True for the start-of-frame markers, whose segment tells the number of components.
inline bool isJpegFrameMarker(int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The orientation tag (1-8) of the first directory of a TIFF-structured EXIF block, with or
// without its "Exif\0\0" header; 1 when there is none or it is invalid.
int exifOrientationOf(const std::uint8_t* data, std::size_t size);

} // namespace mosaiq
