#pragma once

#include "image/pictureerror.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace mosaiq {

// Whether a file starting with head (its first bytes, 12 at least) is a HEIF file: HEIC, AVIF
// and their kin, which Qt has no reader for here.
bool looksLikeHeif(const QByteArray& head);

// Decodes the primary picture of the HEIF file held in file through libheif, which applies the
// file's own turns, mirrors and crop (the EXIF orientation inside is not applied again); its
// colour profile is converted to sRGB. maxPixels bounds the picture, and every image the file
// holds, before decoding; a file whose streams code far more than it announces is damaged. Returns
// an RGB32 picture (ARGB32 when it has transparency), or a null one with error and the
// library's words in detail.
QImage readHeif(const QByteArray& file, qint64 maxPixels, PictureError& error, QString& detail);

} // namespace mosaiq
