#pragma once

#include "image/picturereader.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace mosaiq {

// The file-type list of the picture dialog, in Qt's "Label (*.ext);;..." form: "Any File (*.*)"
// first, then JPEG, GIF and Bitmap, then every other format Qt's readers know here.
QString pictureFileFilter();

// The picture stretched to the thumbnail box of boxSize pixels, as the window shows it.
QImage pictureThumbnail(const QImage& picture, QSize boxSize);

// "The picture <path> could not be loaded" in French, with the reason.
QString pictureLoadMessage(const QString& path, const Picture& picture);

} // namespace mosaiq
