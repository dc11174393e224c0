#pragma once

#include <cstddef>
#include <cstdint>

namespace mosaiq {

// The sides of the pictures a coded stream holds, as its own parameters give them: what its
// decoder allocates, whatever the file around it says. 0 x 0 where none can be read.
struct CodedSides {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// Each side the larger of the two's.
CodedSides largerSides(CodedSides a, CodedSides b);

// From the body of an hvcC box: the largest of its sequence parameter sets, and in lengthSize
// the bytes before each NAL unit of the stream (1, 2 or 4).
CodedSides hevcConfigurationSides(
    const unsigned char* body, std::size_t size, unsigned& lengthSize);

// From the first bytes of an HEVC stream, NAL units each after its length in lengthSize bytes:
// the largest sequence parameter set among them.
CodedSides hevcStreamSides(const unsigned char* data, std::size_t size, unsigned lengthSize);

// From AV1 open bitstream units (those an av1C box holds after its first four bytes, or the first
// bytes of a stream): the largest of their sequence headers.
CodedSides av1Sides(const unsigned char* data, std::size_t size);

} // namespace mosaiq
