#include "image/tiffpicture.h"

#include "image/colourconversion.h"
#include "image/picturememory.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace mosaiq {

namespace {

    struct Source {
        const QByteArray& bytes;
        toff_t pos = 0;
    };

    tmsize_t readBytes(thandle_t handle, void* to, tmsize_t count)
    {
        auto* source = static_cast<Source*>(handle);
        const toff_t size = toff_t(source->bytes.size());
        if (count <= 0 || source->pos >= size)
            return 0;
        const tmsize_t n = tmsize_t(std::min<toff_t>(toff_t(count), size - source->pos));
        std::memcpy(to, source->bytes.constData() + source->pos, size_t(n));
        source->pos += toff_t(n);
        return n;
    }

    tmsize_t refuseWriting(thandle_t, void*, tmsize_t)
    {
        return -1;
    }

    toff_t seekTo(thandle_t handle, toff_t offset, int whence)
    {
        auto* source = static_cast<Source*>(handle);
        const toff_t base = whence == SEEK_CUR ? source->pos
            : whence == SEEK_END               ? toff_t(source->bytes.size())
                                               : 0;
        source->pos = base + offset;
        return source->pos;
    }

    int closeNothing(thandle_t)
    {
        return 0;
    }

    toff_t sizeOf(thandle_t handle)
    {
        return toff_t(static_cast<Source*>(handle)->bytes.size());
    }

    int mapNothing(thandle_t, void**, toff_t*)
    {
        return 0;
    }

    void unmapNothing(thandle_t, void*, toff_t) { }

    // libtiff's complaints reach the user as our message, not on the terminal.
    int stayQuiet(TIFF*, void*, const char*, const char*, va_list)
    {
        return 1;
    }

} // namespace

QImage readCmykTiff(const QByteArray& file, const ColourConversion& conversion, qint64 maxPixels,
    int& orientation, PictureError& error)
{
    error = PictureError::None;
    orientation = 1;
    Source source { file };
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, stayQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, stayQuiet, nullptr);
    TIFF* tiff = TIFFClientOpenExt("picture", "rm", &source, readBytes, refuseWriting, seekTo,
        closeNothing, sizeOf, mapNothing, unmapNothing, options);
    TIFFOpenOptionsFree(options);
    if (!tiff)
        return {};
    uint32_t width = 0, height = 0;
    uint16_t photometric = 0, bits = 0, samples = 0, planar = PLANARCONFIG_CONTIG;
    uint16_t inkSet = INKSET_CMYK, turn = ORIENTATION_TOPLEFT;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &turn);
    QImage picture;
    if (photometric == PHOTOMETRIC_SEPARATED && inkSet == INKSET_CMYK && bits == 8 && samples == 4
        && planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tiff) && width > 0 && height > 0) {
        if (qint64(width) * height > maxPixels) {
            error = PictureError::TooLarge;
        } else if (picture = allocatePicture(int(width), int(height)); picture.isNull()) {
            error = PictureError::TooLarge;
        } else {
            picture.fill(0xFFFFFFFFu); // the conversion leaves the alpha bytes as they are
            std::vector<uchar> inks(size_t(TIFFScanlineSize(tiff)));
            if (inks.size() < size_t(width) * 4)
                error = PictureError::Damaged;
            for (uint32_t y = 0; y < height && error == PictureError::None; ++y) {
                if (TIFFReadScanline(tiff, inks.data(), y, 0) < 0)
                    error = PictureError::Damaged;
                else
                    conversion.convert(inks.data(), qsizetype(inks.size()),
                        picture.scanLine(int(y)), picture.bytesPerLine(), int(width), 1);
            }
            orientation = turn >= 1 && turn <= 8 ? turn : 1;
        }
    }
    TIFFClose(tiff);
    if (error != PictureError::None)
        return {};
    return picture;
}

} // namespace mosaiq
