#pragma once

#include "image/pictureerror.h"
#include "image/readingthreads.h"

#include <QByteArray>
#include <QImage>

namespace mosaiq {

class ColourConversion;

// Decodes the JPEG held in file in one pass: each band of rows is converted through conversion
// (none: the colours as they are) while it is in the cache, and written where the EXIF
// orientation (1-8) puts it in the turned picture. Without conversion or turn the bytes are
// those of Qt's reader, which decodes with the same libjpeg and the same settings. A CMYK JPEG
// needs a conversion (a CMYK layout, inverted for Adobe's files): Qt's reader turns inks into RGB
// by a formula of its own and loses what the profile says. maxPixels bounds the picture before any
// allocation. With threads WithHelper, a large picture to convert is converted and turned on a
// second thread while the next band decodes; the bytes are the same either way. Returns an RGB32
// picture, or a null one with error set.
QImage readJpeg(const QByteArray& file, int orientation, const ColourConversion* conversion,
    qint64 maxPixels, ReadingThreads threads, PictureError& error);

} // namespace mosaiq
