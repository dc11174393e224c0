// The walk through a JPEG's markers, which the plain JPEG reader and the picture reader share, on
// files put together byte by byte.
#include "jpeg/jpegwalk.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A marker segment: FF, the marker, the length (itself included) big-endian, the body.
std::string segment(int marker, const std::string& body)
{
    const std::size_t length = body.size() + 2;
    return std::string { '\xFF', char(marker), char(length >> 8), char(length & 0xFF) } + body;
}

// An EXIF block holding one directory with the orientation tag (SHORT, one value).
std::string exif(bool bigEndian, int orientation)
{
    auto u16 = [bigEndian](int v) {
        return bigEndian ? std::string { char(v >> 8), char(v & 0xFF) }
                         : std::string { char(v & 0xFF), char(v >> 8) };
    };
    auto u32 = [&](int v) { return bigEndian ? u16(0) + u16(v) : u16(v) + u16(0); };
    return std::string("Exif\0\0", 6) + (bigEndian ? "MM" : "II") + u16(42) + u32(8) + u16(1)
        + u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0) + u32(0);
}

// A part of an ICC profile: its number, the number of parts, its bytes.
std::string profilePart(int number, int count, const std::string& bytes)
{
    return segment(0xE2, std::string("ICC_PROFILE\0", 12) + char(number) + char(count) + bytes);
}

mosaiq::JpegWalk walk(const std::string& file)
{
    return mosaiq::walkJpeg(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
}

const std::string Start = "\xFF\xD8";
const std::string Frame = segment(0xC0, std::string("\x08\x00\x10\x00\x18\x03", 6) + "123456789");
const std::string Scan = segment(0xDA, std::string(10, '\0')) + "\x12\xFF\x00\x34\xFF\xD0\x56";
const std::string End = "\xFF\xD9";

} // namespace

TEST(JpegWalk, readsOrientationComponentsAndProfilesAndTellsACutFile)
{
    for (const bool big : { true, false }) {
        const mosaiq::JpegWalk turned
            = walk(Start + segment(0xE1, exif(big, 8)) + Frame + Scan + End);
        EXPECT_FALSE(turned.cutShort);
        EXPECT_EQ(turned.exifOrientation, 8) << big;
        EXPECT_EQ(turned.components, 3);
        EXPECT_FALSE(turned.profile);
    }
    // Out of range, the orientation is the upright one.
    EXPECT_EQ(walk(Start + segment(0xE1, exif(true, 9)) + Frame + Scan + End).exifOrientation, 1);

    const std::string profile = segment(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + "abc");
    const mosaiq::JpegWalk withProfile = walk(Start + profile + Frame + Scan + End);
    EXPECT_TRUE(withProfile.profile);
    EXPECT_FALSE(withProfile.cutShort);

    // The data stops in the scan, or a segment runs past the end.
    EXPECT_TRUE(walk(Start + Frame + Scan).cutShort);
    EXPECT_TRUE(walk(Start + Frame.substr(0, 8)).cutShort);
}

TEST(JpegWalk, placesAProfilesPartsInTheirOrderOnlyWhenAllAreThere)
{
    const struct {
        const char* name;
        std::string segments;
        bool seen;
        std::string profile;
    } cases[] = {
        { "one part", profilePart(1, 1, "whole"), true, "whole" },
        { "out of order", profilePart(3, 3, "C") + profilePart(1, 3, "A") + profilePart(2, 3, "B"),
            true, "ABC" },
        { "a number twice: the first",
            profilePart(1, 2, "A") + profilePart(1, 2, "X") + profilePart(2, 2, "B"), true, "AB" },
        { "a part counting otherwise is none of them",
            profilePart(1, 2, "A") + profilePart(2, 3, "X") + profilePart(2, 2, "B"), true, "AB" },
        { "a part missing", profilePart(1, 3, "A") + profilePart(3, 3, "C"), true, "" },
        { "number 0", profilePart(0, 1, "A"), true, "" },
        // A segment's body ends with it: the bytes after it are no part of its signature.
        { "a signature running past its segment",
            segment(0xE2, "ICC") + std::string("_PROFILE\0\x01\x01", 11), false, "" },
    };
    for (const auto& c : cases) {
        for (const bool whole : { true, false }) {
            const std::string file = Start + c.segments + Frame + Scan + (whole ? End : "");
            const mosaiq::JpegWalk read = walk(file);
            std::string profile;
            for (const mosaiq::JpegWalk::Span& part : read.profileParts)
                profile += file.substr(std::size_t(part.start), std::size_t(part.length));
            EXPECT_EQ(read.profile, c.seen) << c.name;
            // A cut file is refused: its profile is not read.
            EXPECT_EQ(profile, whole ? c.profile : "") << c.name << (whole ? "" : ", cut");
        }
    }
}
