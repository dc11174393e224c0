#include "image/cmykjpeg.h"

#include "image/colourconversion.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace mosaiq {

namespace {

    struct ErrorManager {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
    };

    [[noreturn]] void leave(j_common_ptr info)
    {
        std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
    }

    void stayQuiet(j_common_ptr, int) { }

    // What libjpeg says about the header and rows; kept apart from the objects that own memory,
    // which live in the caller, so that a jump out of libjpeg leaks nothing.
    struct Decode {
        jpeg_decompress_struct info;
        ErrorManager errors;
    };

    // Returns false when libjpeg gave up on the data.
    bool run(Decode& decode, const QByteArray& file, qint64 maxPixels, PictureError& error,
        QImage& image, std::vector<JSAMPLE>& row, const ColourConversion& conversion)
    {
        jpeg_decompress_struct& info = decode.info;
        if (setjmp(decode.errors.jump))
            return false;
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.constData()),
            static_cast<unsigned long>(file.size()));
        jpeg_read_header(&info, TRUE);
        if (info.num_components != 4) {
            error = PictureError::Damaged;
            return true;
        }
        if (qint64(info.image_width) * info.image_height > maxPixels) {
            error = PictureError::TooLarge;
            return true;
        }
        info.out_color_space = JCS_CMYK; // YCCK files are turned into CMYK by libjpeg
        jpeg_start_decompress(&info);
        image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
        if (image.isNull()) {
            error = PictureError::TooLarge;
            return true;
        }
        image.fill(Qt::white); // the conversion leaves the alpha bytes as they are
        row.resize(size_t(info.output_width) * 4);
        JSAMPROW rows[1] = { row.data() };
        while (info.output_scanline < info.output_height) {
            const int y = int(info.output_scanline);
            if (jpeg_read_scanlines(&info, rows, 1) != 1)
                return false;
            conversion.convert(row.data(), 0, image.scanLine(y), 0, image.width(), 1);
        }
        jpeg_finish_decompress(&info);
        return true;
    }

} // namespace

QImage readCmykJpeg(const QByteArray& file, const ColourConversion& conversion, qint64 maxPixels,
    PictureError& error)
{
    error = PictureError::None;
    Decode decode {};
    decode.info.err = jpeg_std_error(&decode.errors.manager);
    decode.errors.manager.error_exit = leave;
    decode.errors.manager.emit_message = stayQuiet;
    QImage image;
    std::vector<JSAMPLE> row;
    const bool finished = run(decode, file, maxPixels, error, image, row, conversion);
    jpeg_destroy_decompress(&decode.info);
    if (!finished || error != PictureError::None) {
        if (error == PictureError::None)
            error = PictureError::Damaged;
        return {};
    }
    return image;
}

} // namespace mosaiq
