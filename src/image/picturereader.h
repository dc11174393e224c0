#pragma once

#include "convert/pixelbuffer.h"

#include <QImage>
#include <QString>

#include <string>

namespace mosaiq {

// Why a picture could not be read; the callers choose the French message.
enum class PictureError {
    None,
    NotFound, // no such file
    NotAFile, // a folder or a device
    Empty, // a file of zero bytes
    Unreadable, // no permission, or the read failed
    NotAPicture, // no reader knows the format
    Damaged, // the reader knows the format but the data is broken or truncated
    TooLarge, // more pixels than the program will hold
};

struct Picture {
    QImage image; // Format_RGB32, transparent areas painted on white
    PictureError error = PictureError::None;
    QString detail; // the reader's own words, for the message

    bool isNull() const { return error != PictureError::None || image.isNull(); }

    // The engine's view of the pixels; valid while image lives and is not modified.
    PixelBuffer pixels() const;
};

// The largest picture accepted, in pixels; 4 bytes each once decoded.
inline constexpr qint64 MaxPicturePixels = 400'000'000;

// Reads the picture file at path at its natural size, whatever format Qt's readers know.
Picture readPicture(const QString& path);

// The same for a path given as the system's bytes, which need not be valid UTF-8.
Picture readPictureNative(const std::string& path);

// A French sentence saying why the picture could not be read (no file name in it).
QString pictureErrorText(const Picture& picture);

} // namespace mosaiq
