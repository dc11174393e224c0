#include "image/jpegpicture.h"

#include "image/colourconversion.h"
#include "image/picturememory.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <vector>

namespace mosaiq {

namespace {

    // Rows converted and placed together: a band of a 4000-pixel photo stays in the cache.
    constexpr int BandRows = 128;

    struct ErrorManager {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
    };

    [[noreturn]] void leave(j_common_ptr info)
    {
        std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
    }

    // Warnings about data the decoder patched over are what Qt's reader ignores too.
    void stayQuiet(j_common_ptr, int) { }

    struct Decode {
        jpeg_decompress_struct info;
        ErrorManager errors;
    };

    // Writes rows first..first+count of the stored picture (width x height), held in band, where
    // the EXIF orientation puts them in the turned picture.
    void place(const uchar* band, qsizetype bandStride, int first, int count, int width, int height,
        int orientation, QImage& picture)
    {
        auto* bits = reinterpret_cast<quint32*>(picture.bits());
        const qsizetype stride = picture.bytesPerLine() / 4;
        if (orientation <= 4) {
            const bool mirror = orientation == 2 || orientation == 3;
            const bool flip = orientation == 3 || orientation == 4;
            for (int r = 0; r < count; ++r) {
                const auto* from = reinterpret_cast<const quint32*>(band + r * bandStride);
                const int y = first + r;
                quint32* to = bits + (flip ? height - 1 - y : y) * stride;
                if (!mirror) {
                    std::memcpy(to, from, size_t(width) * 4);
                } else {
                    for (int x = 0; x < width; ++x)
                        to[width - 1 - x] = from[x];
                }
            }
            return;
        }
        // Rows become columns: each stored column is one row of the turned picture, of which
        // the band fills count pixels side by side.
        const bool reverseRows = orientation == 7 || orientation == 8; // column x goes low
        const bool reverseColumns = orientation == 6 || orientation == 7; // row y goes right
        for (int x = 0; x < width; ++x) {
            quint32* to = bits + (reverseRows ? width - 1 - x : x) * stride;
            const uchar* from = band + qsizetype(x) * 4;
            for (int r = 0; r < count; ++r) {
                const int y = first + r;
                to[reverseColumns ? height - 1 - y : y]
                    = *reinterpret_cast<const quint32*>(from + r * bandStride);
            }
        }
    }

    // Returns false when libjpeg gave up on the data.
    bool run(Decode& decode, const QByteArray& file, int orientation,
        const ColourConversion* conversion, qint64 maxPixels, PictureError& error, QImage& picture,
        std::vector<uchar>& band, std::vector<uchar>& inks)
    {
        jpeg_decompress_struct& info = decode.info;
        if (setjmp(decode.errors.jump))
            return false;
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.constData()),
            static_cast<unsigned long>(file.size()));
        jpeg_read_header(&info, TRUE);
        const bool cmyk = info.num_components == 4;
        if ((cmyk && !conversion)
            || (info.num_components != 1 && info.num_components != 3 && !cmyk)) {
            error = PictureError::NotAPicture;
            return true;
        }
        if (qint64(info.image_width) * info.image_height > maxPixels) {
            error = PictureError::TooLarge;
            return true;
        }
        // CMYK and YCCK come as inks; the rest as the 0xAARRGGBB words of QImage, grey too.
        info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
        jpeg_start_decompress(&info);
        const int width = int(info.output_width), height = int(info.output_height);
        const bool turned = orientation >= 5;
        picture = allocatePicture(turned ? height : width, turned ? width : height);
        if (picture.isNull()) {
            error = PictureError::TooLarge;
            return true;
        }
        const qsizetype stride = qsizetype(width) * 4;
        band.assign(size_t(stride) * BandRows, 0xFF); // alpha bytes stay opaque for CMYK
        if (cmyk)
            inks.resize(size_t(stride) * BandRows);
        uchar* target = cmyk ? inks.data() : band.data();
        while (info.output_scanline < info.output_height) {
            const int first = int(info.output_scanline);
            int count = 0;
            while (count < BandRows && info.output_scanline < info.output_height) {
                JSAMPROW row = target + count * stride;
                if (jpeg_read_scanlines(&info, &row, 1) != 1)
                    return false;
                ++count;
            }
            if (conversion)
                conversion->convert(target, stride, band.data(), stride, width, count);
            place(band.data(), stride, first, count, width, height, orientation, picture);
        }
        jpeg_finish_decompress(&info);
        return true;
    }

} // namespace

QImage readJpeg(const QByteArray& file, int orientation, const ColourConversion* conversion,
    qint64 maxPixels, PictureError& error)
{
    error = PictureError::None;
    if (orientation < 1 || orientation > 8)
        orientation = 1;
    Decode decode {};
    decode.info.err = jpeg_std_error(&decode.errors.manager);
    decode.errors.manager.error_exit = leave;
    decode.errors.manager.emit_message = stayQuiet;
    QImage picture;
    std::vector<uchar> band, inks;
    const bool finished
        = run(decode, file, orientation, conversion, maxPixels, error, picture, band, inks);
    jpeg_destroy_decompress(&decode.info);
    if (!finished || error != PictureError::None) {
        if (error == PictureError::None)
            error = PictureError::Damaged;
        return {};
    }
    return picture;
}

} // namespace mosaiq
