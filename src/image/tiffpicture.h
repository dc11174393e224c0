#pragma once

#include "image/pictureerror.h"

#include <QByteArray>
#include <QImage>

namespace mosaiq {

class ColourConversion;

// Decodes a CMYK TIFF held in file (8 bits an ink, the inks of a pixel side by side, in strips)
// through conversion, whose layout is CMYK: Qt's reader turns inks into RGB by a formula of its
// own and loses what the profile says. orientation receives the file's (1-8), for the caller
// to turn the picture. maxPixels bounds the picture before any allocation. Returns an RGB32
// picture; a null one with error None when the file is another kind of TIFF (the caller reads
// it as before), or with error set when it could not be read.
QImage readCmykTiff(const QByteArray& file, const ColourConversion& conversion, qint64 maxPixels,
    int& orientation, PictureError& error);

} // namespace mosaiq
