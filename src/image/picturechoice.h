#pragma once

#include "image/picturereader.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace mosaiq {

// The file-type list of the picture dialog, in Qt's "Label (*.ext);;..." form: "Any File (*.*)"
// first, then JPEG, GIF and Bitmap, then every other format Qt's readers know here.
QString pictureFileFilter();

// A picture the user chose, with what the window shows of it.
struct PictureChoice {
    Picture picture; // the full picture that runs sample
    QImage thumbnail; // the picture stretched to the thumbnail box
    QString columns; // its width in pixels, plain digits
    QString rows; // its height in pixels
    QString message; // empty, or the French reason it could not be loaded, naming the file

    bool loaded() const { return message.isEmpty(); }
};

// Reads the picture at path and prepares its thumbnail of thumbnailSize pixels.
PictureChoice choosePicture(const QString& path, QSize thumbnailSize);

// image stretched to size, each axis on its own: one that grows takes the nearest pixel, one
// that shrinks is averaged.
QImage stretchPicture(const QImage& image, QSize size);

// "The picture <path> could not be loaded" in French, with the reason.
QString pictureLoadMessage(const QString& path, const Picture& picture);

} // namespace mosaiq
