#pragma once

#include "image/picturereader.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace mosaiq {

// The file-type list of the picture dialog, in Qt's "Label (*.ext);;..." form: "Any File (*.*)"
// first, then JPEG, GIF and Bitmap, then every other format Qt's readers know here.
QString pictureFileFilter();

// image stretched to size, each axis on its own, as the window's thumbnail box shows a chosen
// picture: an axis that grows takes the nearest pixel, one that shrinks is averaged.
QImage stretchPicture(const QImage& image, QSize size);

// "The picture <path> could not be loaded" in French, with the reason.
QString pictureLoadMessage(const QString& path, const Picture& picture);

} // namespace mosaiq
