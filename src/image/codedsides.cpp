#include "image/codedsides.h"

#include "image/bytereader.h"

#include <algorithm>
#include <vector>

namespace mosaiq {

namespace {

    // The bits of a parameter set, read from its first; past the end each reads 0 and the
    // reader has failed. An HEVC one is read without its emulation prevention bytes (a 3 after
    // two zeros), which AV1 does not have.
    class BitReader {
    public:
        BitReader(const unsigned char* data, std::size_t size, bool unescape)
        {
            int zeros = 0;
            for (std::size_t i = 0; i < size; ++i) {
                if (unescape && zeros >= 2 && data[i] == 3) {
                    zeros = 0;
                    continue;
                }
                zeros = data[i] == 0 ? zeros + 1 : 0;
                m_bytes.push_back(data[i]);
            }
        }
        std::uint64_t bits(std::uint64_t count)
        {
            std::uint64_t value = 0;
            for (std::uint64_t i = 0; i < count; ++i, ++m_pos) {
                if (m_pos >= m_bytes.size() * 8) {
                    m_failed = true;
                    return 0;
                }
                value = value << 1 | (m_bytes[m_pos / 8] >> (7 - m_pos % 8) & 1);
            }
            return value;
        }
        void skip(std::uint64_t count) { m_pos += count; }
        // An Exp-Golomb number, as HEVC's ue(v) and AV1's uvlc() write it.
        std::uint64_t golomb()
        {
            int zeros = 0;
            while (bits(1) == 0 && !m_failed)
                if (++zeros > 32)
                    m_failed = true;
            return m_failed ? 0 : (std::uint64_t(1) << zeros) - 1 + bits(std::uint64_t(zeros));
        }
        bool failed() const { return m_failed || m_pos > m_bytes.size() * 8; }

    private:
        std::vector<unsigned char> m_bytes;
        std::size_t m_pos = 0;
        bool m_failed = false;
    };

    constexpr unsigned HevcSequenceParameterSet = 33;

    // An HEVC sequence parameter set, from its NAL unit header on.
    CodedSides hevcSequenceSides(const unsigned char* nal, std::size_t size)
    {
        if (size < 2)
            return {};
        BitReader reader(nal + 2, size - 2, true);
        reader.skip(4);
        const auto subLayers = int(reader.bits(3));
        reader.skip(1);
        reader.skip(88 + 8); // the general profile and level
        bool profile[8] = {}, level[8] = {};
        for (int i = 0; i < subLayers; ++i) {
            profile[i] = reader.bits(1) != 0;
            level[i] = reader.bits(1) != 0;
        }
        if (subLayers > 0)
            reader.skip(std::uint64_t(2 * (8 - subLayers)));
        for (int i = 0; i < subLayers; ++i)
            reader.skip((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
        reader.golomb(); // its number
        if (reader.golomb() == 3) // 4:4:4, with a flag for separate planes
            reader.skip(1);
        const std::uint64_t width = reader.golomb(), height = reader.golomb();
        return reader.failed() ? CodedSides {} : CodedSides { width, height };
    }

    // An AV1 sequence header's payload.
    CodedSides av1SequenceSides(const unsigned char* data, std::size_t size)
    {
        BitReader reader(data, size, false);
        reader.skip(3 + 1); // the profile, a still picture
        if (reader.bits(1)) { // the reduced header of a still picture
            reader.skip(5);
        } else {
            bool decoderModel = false;
            std::uint64_t delayBits = 0;
            if (reader.bits(1)) { // timing
                reader.skip(32 + 32);
                if (reader.bits(1))
                    reader.golomb();
                decoderModel = reader.bits(1) != 0;
                if (decoderModel) {
                    delayBits = reader.bits(5) + 1;
                    reader.skip(32 + 5 + 5);
                }
            }
            const bool initialDelay = reader.bits(1) != 0;
            const std::uint64_t points = reader.bits(5) + 1;
            for (std::uint64_t i = 0; i < points && !reader.failed(); ++i) {
                reader.skip(12);
                if (reader.bits(5) > 7)
                    reader.skip(1);
                if (decoderModel && reader.bits(1))
                    reader.skip(2 * delayBits + 1);
                if (initialDelay && reader.bits(1))
                    reader.skip(4);
            }
        }
        const std::uint64_t widthBits = reader.bits(4) + 1, heightBits = reader.bits(4) + 1;
        const std::uint64_t width = reader.bits(widthBits) + 1;
        const std::uint64_t height = reader.bits(heightBits) + 1;
        return reader.failed() ? CodedSides {} : CodedSides { width, height };
    }

} // namespace

CodedSides largerSides(CodedSides a, CodedSides b)
{
    return { std::max(a.width, b.width), std::max(a.height, b.height) };
}

CodedSides hevcConfigurationSides(const unsigned char* body, std::size_t size, unsigned& lengthSize)
{
    constexpr std::size_t Header = 23; // up to and with the count of arrays
    lengthSize = 4;
    if (size < Header)
        return {};
    ByteReader reader(body, size);
    reader.skip(21);
    lengthSize = unsigned(reader.number(1) & 3) + 1;
    const std::uint64_t arrays = reader.number(1);
    CodedSides largest;
    for (std::uint64_t array = 0; array < arrays && reader.left() >= 3; ++array) {
        const auto type = unsigned(reader.number(1) & 0x3f);
        const std::uint64_t units = reader.number(2);
        for (std::uint64_t unit = 0; unit < units && reader.left() >= 2; ++unit) {
            const auto length = std::size_t(reader.number(2));
            if (length > reader.left())
                return largest;
            if (type == HevcSequenceParameterSet)
                largest = largerSides(largest, hevcSequenceSides(reader.here(), length));
            reader.skip(length);
        }
    }
    return largest;
}

CodedSides hevcStreamSides(const unsigned char* data, std::size_t size, unsigned lengthSize)
{
    ByteReader reader(data, size);
    CodedSides largest;
    while (reader.left() > lengthSize) {
        const std::uint64_t length = reader.number(lengthSize);
        const auto available = std::size_t(std::min<std::uint64_t>(length, reader.left()));
        if (available > 0 && (reader.here()[0] >> 1 & 0x3f) == HevcSequenceParameterSet)
            largest = largerSides(largest, hevcSequenceSides(reader.here(), available));
        if (length > reader.left())
            break;
        reader.skip(std::size_t(length));
    }
    return largest;
}

CodedSides av1Sides(const unsigned char* data, std::size_t size)
{
    constexpr unsigned SequenceHeader = 1;
    ByteReader reader(data, size);
    CodedSides largest;
    while (reader.left() > 0) {
        const auto header = unsigned(reader.number(1));
        const unsigned type = header >> 3 & 15;
        if (header & 4) // an extension byte
            reader.skip(1);
        std::uint64_t length = reader.left(); // without a size, the rest
        if (header & 2) {
            length = 0;
            for (int i = 0; i < 8; ++i) { // LEB128
                const auto byte = unsigned(reader.number(1));
                if (reader.failed())
                    return largest;
                length |= std::uint64_t(byte & 0x7f) << (7 * i);
                if (!(byte & 0x80))
                    break;
            }
        }
        const auto available = std::size_t(std::min<std::uint64_t>(length, reader.left()));
        if (type == SequenceHeader)
            largest = largerSides(largest, av1SequenceSides(reader.here(), available));
        if (length > reader.left())
            break;
        reader.skip(std::size_t(length));
    }
    return largest;
}

} // namespace mosaiq
