#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

namespace mosaiq {

// What a JPEG's markers say. The plain JPEG reader and the picture reader both learn it from
// walkJpeg, so that a file is never whole for one and cut short for the other, nor turned or
// profiled for one alone.
struct JpegWalk {
    // A run of the file's bytes, counted from its start.
    struct Span {
        std::int64_t start = 0;
        std::int64_t length = 0;
    };
    bool cutShort = false; // the data ends (or breaks) before the end-of-image marker
    bool profile = false; // some part of an ICC profile is embedded
    // Where the embedded ICC profile lies, part after part in their order; empty unless the data
    // is whole and holds every part. Only the picture reader needs the bytes: it reads them there.
    std::vector<Span> profileParts;
    bool adobe = false; // an Adobe marker
    int components = 0; // 1 grey, 3 colour, 4 CMYK or YCCK
    int exifOrientation = 1; // 1-8
};

// Whether bytes holds text at pos.
template <class Bytes> bool jpegBytesHold(Bytes& bytes, std::int64_t pos, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (bytes.at(pos + std::int64_t(i)) != static_cast<unsigned char>(text[i]))
            return false;
    }
    return true;
}

// The unsigned numbers of 2 and 4 bytes at pos, big- or little-endian; 0 past the end.
template <class Bytes> std::uint32_t jpegU16(Bytes& bytes, std::int64_t pos, bool big)
{
    const int a = bytes.at(pos), b = bytes.at(pos + 1);
    if (a < 0 || b < 0)
        return 0;
    return big ? std::uint32_t(a << 8 | b) : std::uint32_t(b << 8 | a);
}
template <class Bytes> std::uint32_t jpegU32(Bytes& bytes, std::int64_t pos, bool big)
{
    const std::uint32_t a = jpegU16(bytes, pos, big), b = jpegU16(bytes, pos + 2, big);
    return big ? a << 16 | b : b << 16 | a;
}

// A segment's body read as bytes of their own, from 0: its offsets are the file's to lie about,
// and nothing outside it is read.
template <class Bytes> struct JpegBytesPart {
    Bytes& bytes;
    std::int64_t start;
    std::int64_t length;
    int at(std::int64_t pos) { return pos >= 0 && pos < length ? bytes.at(start + pos) : -1; }
};

// Walks the markers of a JPEG from after its start-of-image marker to its end-of-image marker,
// handing each marker segment to onSegment(marker, body, bodyLength) where body is the position
// after the segment's length. Returns false when the data ends, or breaks, before the
// end-of-image marker.
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
        const std::int64_t length = jpegU16(bytes, pos, true);
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

// The orientation tag (1-8) of the first directory of the TIFF-structured EXIF block that bytes
// holds from start for length bytes, with or without its "Exif\0\0" header; 1 when there is none
// or it is invalid.
template <class Bytes> int exifOrientationIn(Bytes& bytes, std::int64_t start, std::int64_t length)
{
    JpegBytesPart<Bytes> whole { bytes, start, length };
    const int header = jpegBytesHold(whole, 0, std::string_view("Exif\0\0", 6)) ? 6 : 0;
    JpegBytesPart<Bytes> block { bytes, start + header, length - header };
    const bool big = jpegBytesHold(block, 0, "MM");
    if (!big && !jpegBytesHold(block, 0, "II"))
        return 1;
    const std::int64_t directory = jpegU32(block, 4, big);
    const std::uint32_t count = jpegU16(block, directory, big);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int64_t entry = directory + 2 + 12 * std::int64_t(i);
        if (entry + 12 > block.length)
            break;
        if (jpegU16(block, entry, big) != 0x0112)
            continue;
        const std::uint32_t type = jpegU16(block, entry + 2, big);
        const std::uint32_t value = type == 3 && jpegU32(block, entry + 4, big) == 1
            ? jpegU16(block, entry + 8, big)
            : jpegU32(block, entry + 8, big);
        return type == 3 && value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

// Walks the markers of the JPEG that bytes holds, from after its start-of-image marker to its
// end. Bytes is read through at(pos), the byte at pos or -1 past the end, find(pos, c), the first
// position from pos holding c or -1, and size(): a file read through a window and a buffer in
// memory are walked by the same rules.
template <class Bytes> JpegWalk walkJpeg(Bytes& bytes)
{
    JpegWalk walk;
    std::map<int, JpegWalk::Span> parts; // by their sequence number, from 1
    int partCount = 0;
    bool sawExif = false;
    walk.cutShort
        = !walkJpegMarkers(bytes, [&](int marker, std::int64_t body, std::int64_t length) {
              if (marker == 0xE2 && length >= 12
                  && jpegBytesHold(bytes, body, std::string_view("ICC_PROFILE\0", 12))) {
                  walk.profile = true;
                  // The first part of each number is kept; a part that counts the parts
                  // otherwise than the first one did is not one of them.
                  const int sequence = bytes.at(body + 12);
                  const int count = bytes.at(body + 13);
                  if (length > 14 && sequence >= 1 && sequence <= count
                      && (partCount == 0 || count == partCount) && !parts.count(sequence)) {
                      partCount = count;
                      parts[sequence] = { body + 14, length - 14 };
                  }
              } else if (marker == 0xE1 && !sawExif && length > 6
                  && jpegBytesHold(bytes, body, std::string_view("Exif\0\0", 6))) {
                  sawExif = true;
                  walk.exifOrientation = exifOrientationIn(bytes, body, length);
              } else if (marker == 0xEE && length >= 5 && jpegBytesHold(bytes, body, "Adobe")) {
                  walk.adobe = true;
              } else if (isJpegFrameMarker(marker) && length >= 6) {
                  walk.components = bytes.at(body + 5);
              }
          });
    if (!walk.cutShort && partCount > 0 && int(parts.size()) == partCount) {
        for (const auto& part : parts)
            walk.profileParts.push_back(part.second);
    }
    return walk;
}

// The walk of the JPEG held in data, in memory.
JpegWalk walkJpeg(const std::uint8_t* data, std::size_t size);

// exifOrientationIn for an EXIF block held in memory.
int exifOrientationOf(const std::uint8_t* data, std::size_t size);

} // namespace mosaiq
