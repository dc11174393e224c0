#pragma once

// What a PNG's zlib stream holds: its filtered lines, each with its filter type. Two files that
// hold the same are the same picture filtered and cut the same way, whatever bytes ISA-L packed
// the lines into: on several threads under load it has been seen to pack the same share two or
// three ways, once in a few hundred shares, every way reading back as the same lines.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace testsupport {

// The IDAT chunks of png joined and inflated; empty when png is not a whole PNG.
inline std::string pngLines(std::string_view png)
{
    auto bigEndian = [&](std::size_t at) {
        const auto* b = reinterpret_cast<const unsigned char*>(png.data() + at);
        return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8
            | std::uint32_t(b[3]);
    };
    std::string stream;
    bool ended = false;
    for (std::size_t at = 8; at + 12 <= png.size() && !ended;) {
        const std::size_t length = bigEndian(at);
        if (length > png.size() - at - 12)
            return {};
        const std::string_view type = png.substr(at + 4, 4);
        if (type == "IDAT")
            stream.append(png.substr(at + 8, length));
        ended = type == "IEND";
        at += 12 + length;
    }
    if (!ended || png.substr(0, 8) != "\x89PNG\r\n\x1a\n")
        return {};
    z_stream z {};
    if (inflateInit(&z) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    std::string lines;
    int status = Z_OK;
    while (status == Z_OK) {
        char chunk[1 << 16];
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        lines.append(chunk, sizeof chunk - z.avail_out);
    }
    inflateEnd(&z);
    return status == Z_STREAM_END ? lines : std::string();
}

} // namespace testsupport
