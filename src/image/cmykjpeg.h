#pragma once

#include "image/pictureerror.h"

#include <QByteArray>
#include <QImage>

namespace mosaiq {

class ColourConversion;

// Decodes a CMYK (or YCCK) JPEG held in file through the conversion of its colour profile (a
// CMYK layout, inverted for Adobe's files). Qt's reader turns CMYK into RGB by a formula of
// its own and loses the ink values the profile speaks of. maxPixels bounds the picture before
// any allocation. Returns an RGB32 picture, or a null one with error set.
QImage readCmykJpeg(const QByteArray& file, const ColourConversion& conversion, qint64 maxPixels,
    PictureError& error);

} // namespace mosaiq
