#include "image/picturefacts.h"

#include "image/colourconversion.h"
#include "image/devicebytes.h"
#include "jpeg/jpegwalk.h"

#include <zlib.h>

namespace mosaiq {

namespace {

    // No colour profile in use is larger; a larger one is ignored rather than held.
    constexpr qint64 MaxProfileBytes = 16 * 1024 * 1024;

    // Qt's reader pads a JPEG whose data stops early and only warns, so the walk is what tells a
    // whole file from a cut one.
    void inspectJpeg(DeviceBytes& data, PictureFacts& facts)
    {
        const JpegWalk walk = walkJpeg(data);
        facts.cutShort = walk.cutShort;
        facts.exifOrientation = walk.exifOrientation;
        facts.jpegComponents = walk.components;
        facts.jpegAdobe = walk.adobe;
        for (const JpegWalk::Span& part : walk.profileParts)
            facts.iccProfile += data.bytes(part.start, part.length);
    }

    // The data of the GIF sub-blocks from start to end (past their terminator), unless larger
    // than a profile may be.
    QByteArray gifSubBlocks(DeviceBytes& data, qint64 start, qint64 end)
    {
        if (end - start > MaxProfileBytes + MaxProfileBytes / 255 + 1)
            return {};
        QByteArray joined;
        for (qint64 pos = start; pos < end;) {
            const int length = data.at(pos);
            if (length <= 0)
                break;
            joined += data.bytes(pos + 1, length);
            pos += 1 + length;
        }
        return joined;
    }

    // A GIF shows its first frame whole when its image data blocks end with their terminator;
    // the trailer, and whatever follows it, are not needed for that. Its colour profile is the
    // data of an application extension named ICCRGBG1 (authentication code 012).
    void inspectGif(DeviceBytes& data, PictureFacts& facts)
    {
        auto skipColourTable = [&](qint64& pos, int flags) {
            if (flags & 0x80)
                pos += 3 * (qint64(2) << (flags & 7));
        };
        // Skips data sub-blocks; false when the data ends first.
        auto skipSubBlocks = [&](qint64& pos) {
            for (;;) {
                const int length = data.at(pos++);
                if (length < 0)
                    return false;
                if (length == 0)
                    return true;
                pos += length;
            }
        };
        qint64 pos = 13;
        skipColourTable(pos, data.at(10));
        for (;;) {
            const int block = data.at(pos++);
            if (block == 0x21) { // extension: label, then sub-blocks
                const bool profile = data.at(pos) == 0xFF && data.at(pos + 1) == 11
                    && data.bytes(pos + 2, 11) == "ICCRGBG1012" && facts.iccProfile.isEmpty();
                ++pos;
                if (profile) {
                    pos += 12;
                    const qint64 start = pos;
                    if (!skipSubBlocks(pos))
                        break;
                    facts.iccProfile = gifSubBlocks(data, start, pos);
                } else if (!skipSubBlocks(pos)) {
                    break;
                }
            } else if (block == 0x2C) { // image descriptor, colour table, LZW size, data
                const int flags = data.at(pos + 8);
                if (flags < 0)
                    break;
                pos += 9;
                skipColourTable(pos, flags);
                ++pos;
                if (skipSubBlocks(pos))
                    return;
                break;
            } else {
                break; // the data ends, or breaks, before the first frame
            }
        }
        facts.cutShort = true;
    }

    // An uncompressed BMP says how many bytes of pixels follow; fewer in the file means a lie.
    // Packed 16-bit pixels (and any channel mask of fewer than 8 bits) are noted for widening.
    void inspectBmp(DeviceBytes& data, PictureFacts& facts)
    {
        const quint32 offset = data.u32(10, false);
        const quint32 infoSize = data.u32(14, false);
        if (data.size() < 34 || infoSize < 40)
            return;
        // A version 5 header may embed a profile ('MBED'), placed from the header's start.
        constexpr quint32 Embedded = 0x4D424544;
        if (infoSize >= 124 && data.u32(14 + 56, false) == Embedded) {
            const qint64 at = 14 + qint64(data.u32(14 + 112, false));
            const qint64 size = data.u32(14 + 116, false);
            if (size <= MaxProfileBytes && at + size <= data.size())
                facts.iccProfile = data.bytes(at, size);
        }
        const qint64 width = qint32(data.u32(18, false));
        const qint64 height = qAbs(qint64(qint32(data.u32(22, false))));
        const quint32 bitCount = data.u16(28, false);
        const quint32 compression = data.u32(30, false);
        const bool bitFields = compression == 3 || compression == 6;
        if (compression != 0 && !bitFields) // run-length data has no fixed size
            return;
        // Divided rather than multiplied: a lying header's sizes would overflow.
        const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
        if (width > 0 && rowBytes > 0
            && (offset > data.size() || height > (data.size() - offset) / rowBytes))
            facts.cutShort = true;
        std::array<quint32, 4> masks {};
        if (bitCount == 16 && compression == 0) {
            masks = { 0x7C00, 0x03E0, 0x001F, 0 };
        } else if ((bitCount == 16 || bitCount == 32) && bitFields) {
            // The masks follow a 40-byte header, or sit inside a longer one.
            const qint64 at = 14 + 40;
            for (int i = 0; i < 4; ++i)
                masks[i] = data.u32(at + 4 * i, false);
            if (infoSize < 56 && compression == 3)
                masks[3] = 0;
        }
        for (int i = 0; i < 4; ++i) {
            const int bits = qPopulationCount(masks[i]);
            facts.bmpChannelBits[i] = bits > 0 && bits < 8 ? bits : 0;
        }
    }

    QByteArray inflateProfile(const QByteArray& compressed)
    {
        z_stream stream {};
        if (inflateInit(&stream) != Z_OK)
            return {};
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
        stream.avail_in = uInt(compressed.size());
        QByteArray out;
        int status = Z_OK;
        char chunk[16384];
        while (status == Z_OK && out.size() <= MaxProfileBytes) {
            stream.next_out = reinterpret_cast<Bytef*>(chunk);
            stream.avail_out = sizeof chunk;
            status = inflate(&stream, Z_NO_FLUSH);
            out.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
            if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)
                break; // the stream stops short
        }
        inflateEnd(&stream);
        return status == Z_STREAM_END && out.size() <= MaxProfileBytes ? out : QByteArray();
    }

    // The profile of a PNG is the compressed iCCP chunk, which comes before the pixel data;
    // without it nor an sRGB chunk, the gAMA and cHRM chunks describe the colours. A chunk that
    // says it is longer than the rest of the file is cut short: libpng would allocate what it
    // says before finding out.
    void inspectPng(DeviceBytes& data, PictureFacts& facts)
    {
        bool srgb = false;
        double gamma = 0;
        std::array<double, 8> chromaticities {};
        qint64 pos = 8;
        while (pos + 8 <= data.size()) {
            const qint64 length = data.u32(pos, true);
            const QByteArray type = data.bytes(pos + 4, 4);
            if (type == "IEND")
                break;
            if (pos + 12 + length > data.size()) {
                facts.cutShort = true;
                return;
            }
            if (type == "iCCP" && length <= MaxProfileBytes && facts.iccProfile.isEmpty()) {
                const QByteArray body = data.bytes(pos + 8, length);
                const qsizetype nameEnd = body.indexOf('\0');
                if (nameEnd > 0 && nameEnd + 2 < body.size() && body[nameEnd + 1] == 0)
                    facts.iccProfile = inflateProfile(body.mid(nameEnd + 2));
            } else if (type == "sRGB") {
                srgb = true;
            } else if (type == "gAMA" && length == 4) {
                gamma = data.u32(pos + 8, true) / 100000.0;
            } else if (type == "cHRM" && length == 32) {
                for (int i = 0; i < 8; ++i)
                    chromaticities[size_t(i)] = data.u32(pos + 8 + 4 * i, true) / 100000.0;
            }
            pos += 12 + length;
        }
        if (facts.iccProfile.isEmpty() && !srgb)
            facts.iccProfile = ColourConversion::profileFromPngChunks(gamma, chromaticities);
    }

    // The value of tag in the first directory of a TIFF structure held in data from base.
    struct TiffEntry {
        quint32 type = 0, count = 0, value = 0;
        bool found = false;
    };

    TiffEntry tiffEntry(DeviceBytes& data, qint64 base, quint32 tag)
    {
        TiffEntry entry;
        const QByteArray order = data.bytes(base, 2);
        if (order != "II" && order != "MM")
            return entry;
        const bool big = order == "MM";
        const qint64 directory = base + data.u32(base + 4, big);
        const quint32 count = data.u16(directory, big);
        for (quint32 i = 0; i < count; ++i) {
            const qint64 at = directory + 2 + 12 * qint64(i);
            if (at + 12 > data.size())
                break;
            if (data.u16(at, big) != tag)
                continue;
            entry.type = data.u16(at + 2, big);
            entry.count = data.u32(at + 4, big);
            entry.value = entry.type == 3 && entry.count == 1 ? data.u16(at + 8, big)
                                                              : data.u32(at + 8, big);
            entry.found = true;
            break;
        }
        return entry;
    }

    void inspectTiff(DeviceBytes& data, PictureFacts& facts)
    {
        const TiffEntry profile = tiffEntry(data, 0, 34675);
        if (profile.found && (profile.type == 1 || profile.type == 7) && profile.count > 4
            && profile.count <= MaxProfileBytes)
            facts.iccProfile = data.bytes(profile.value, profile.count);
    }

    // A WebP's chunks follow its RIFF header; the profile and EXIF have chunks of their own.
    void inspectWebp(DeviceBytes& data, PictureFacts& facts)
    {
        qint64 pos = 12;
        while (pos + 8 <= data.size()) {
            const QByteArray type = data.bytes(pos, 4);
            const qint64 length = data.u32(pos + 4, false);
            if (type == "ICCP" && length <= MaxProfileBytes)
                facts.iccProfile = data.bytes(pos + 8, length);
            else if (type == "EXIF" && length <= MaxProfileBytes)
                facts.exifOrientation = exifOrientation(data.bytes(pos + 8, length));
            pos += 8 + length + (length & 1);
        }
    }

} // namespace

int exifOrientation(const QByteArray& exif)
{
    return exifOrientationOf(
        reinterpret_cast<const std::uint8_t*>(exif.constData()), std::size_t(exif.size()));
}

PictureFacts inspectPicture(QIODevice& device, const QByteArray& format)
{
    PictureFacts facts;
    DeviceBytes data(device);
    if (format == "jpeg" || format == "jpg")
        inspectJpeg(data, facts);
    else if (format == "gif")
        inspectGif(data, facts);
    else if (format == "bmp" || format == "dib")
        inspectBmp(data, facts);
    else if (format == "png")
        inspectPng(data, facts);
    else if (format == "tiff" || format == "tif")
        inspectTiff(data, facts);
    else if (format == "webp")
        inspectWebp(data, facts);
    if (facts.iccProfile.size() < 128) // shorter than an ICC header: not a profile
        facts.iccProfile.clear();
    return facts;
}

} // namespace mosaiq
