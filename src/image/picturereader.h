#pragma once

#include "convert/pixelbuffer.h"
#include "image/pictureerror.h"
#include "image/picturelimit.h"
#include "image/readingthreads.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <string>

namespace mosaiq {

struct Picture {
    QImage image; // Format_RGB32 in sRGB, transparent areas painted on white
    PictureError error = PictureError::None;
    QString detail; // the reader's own words, for the message
    // Format_Alpha8, each pixel's opacity; null when every pixel is opaque.
    QImage opacity;

    bool isNull() const { return error != PictureError::None || image.isNull(); }

    // The engine's view of the pixels; valid while image lives and is not modified.
    PixelBuffer pixels() const;
};

// Sets what picture reading needs once for the whole process, before any picture is read and
// before other threads start: Qt's allocation limit raised to MaxPicturePixels, the readers'
// warnings kept off the terminal (their failures reach the user as our messages), libheif
// started. Each main() calls it once; the reading itself keeps no state between decodes, so
// pictures may be read on several threads at once.
void setUpPictureReading();

// Reads the picture file at path as every viewer shows it: at its natural size in pixels, turned
// as its EXIF orientation says, its colour profile converted to sRGB. Formats: those of Qt's
// readers here (JPEG, PNG, GIF's first frame, BMP, TIFF, WebP, the largest entry of an icon...)
// except TGA, and HEIC, HEIF and AVIF through libheif.
Picture readPicture(const QString& path);

// The same for a path given as the system's bytes, which need not be valid UTF-8. threads: whether
// a helper thread may convert a large photo while it decodes; the picture is the same either way.
Picture readPictureNative(
    const std::string& path, ReadingThreads threads = ReadingThreads::WithHelper);

// The same for a file's bytes already in memory; the files above are read the same way.
// maxPixels lowers the limit (the fuzzer keeps each input quick with it).
Picture readPictureData(const QByteArray& bytes, qint64 maxPixels = MaxPicturePixels,
    ReadingThreads threads = ReadingThreads::WithHelper);

// A French sentence saying why the picture could not be read (no file name in it).
QString pictureErrorText(const Picture& picture);

} // namespace mosaiq
