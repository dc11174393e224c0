#pragma once

#include <QByteArray>
#include <QIODevice>

#include <array>

namespace mosaiq {

// What the program learns from a picture file's own structure, beside what Qt's readers decode:
// whether the data stops before the picture does, its colour profile, and the details the
// readers get wrong.
struct PictureFacts {
    bool cutShort = false; // the data ends (or breaks) before the picture it announces
    // The embedded ICC colour profile, or the one a PNG's gAMA and cHRM chunks describe; empty
    // when there is none.
    QByteArray iccProfile;
    int exifOrientation = 1; // EXIF orientation (1-8) of a JPEG or a WebP
    int jpegComponents = 0; // 1 grey, 3 colour, 4 CMYK or YCCK
    bool jpegAdobe = false; // an Adobe marker: CMYK samples are stored inverted
    // Bits of red, green, blue and alpha in a BMP's packed pixels, where fewer than 8 (0 else).
    std::array<int, 4> bmpChannelBits {};
};

// Reads the facts of the file open in device, whose format Qt's readers named (lower case:
// "jpeg", "gif", "png", "bmp", "tiff", "webp"...). Moves the device's position.
PictureFacts inspectPicture(QIODevice& device, const QByteArray& format);

// The EXIF orientation (1-8) stored in a TIFF-structured EXIF block, 1 when none or invalid.
int exifOrientation(const QByteArray& exif);

} // namespace mosaiq
