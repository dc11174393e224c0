#include "image/picturechoice.h"

#include "wording/windowwords.h"

#include <QDir>
#include <QImageReader>
#include <QStringList>

#include <algorithm>

namespace mosaiq {

QString pictureFileFilter()
{
    QStringList entries { QStringLiteral("Any File (*.*)"), QStringLiteral("JPEG (*.JPG)"),
        QStringLiteral("GIF (*.GIF)"), QStringLiteral("Bitmap (*.BMP)") };
    // The first entries name one extension each; the others, *.jpeg included, follow.
    const QStringList listed { QStringLiteral("jpg"), QStringLiteral("gif"),
        QStringLiteral("bmp") };
    QStringList names;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        names << QString::fromLatin1(format).toLower();
    // The phones' formats come through libheif; TGA is not read (see the picture reader).
    names << QStringLiteral("heic") << QStringLiteral("heif") << QStringLiteral("avif");
    names.removeAll(QStringLiteral("tga"));
    names.removeDuplicates();
    for (const QString& name : std::as_const(names)) {
        if (!listed.contains(name))
            entries << QStringLiteral("%1 (*.%1)").arg(name.toUpper());
    }
    return entries.join(QStringLiteral(";;"));
}

PictureChoice choosePicture(const QString& path, QSize thumbnailSize)
{
    PictureChoice choice;
    choice.picture = readPicture(path);
    if (choice.picture.isNull()) {
        choice.message = pictureLoadMessage(path, choice.picture);
        return choice;
    }
    const QImage& image = choice.picture.image;
    choice.thumbnail = stretchPicture(image, thumbnailSize);
    choice.columns = QString::number(image.width());
    choice.rows = QString::number(image.height());
    return choice;
}

QImage stretchPicture(const QImage& image, QSize size)
{
    // An axis that shrinks is averaged first, so that a large picture does not shimmer; then an
    // axis that grows repeats the nearest pixel, so that a small one keeps its flat colours
    // instead of blending them into ones it does not have.
    const QSize shrunk(
        std::min(image.width(), size.width()), std::min(image.height(), size.height()));
    const QImage averaged = shrunk == image.size()
        ? image
        : image.scaled(shrunk, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return averaged.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QString pictureLoadMessage(const QString& path, const Picture& picture)
{
    QString reason = pictureErrorText(picture);
    if (reason.isEmpty())
        reason = QString::fromUtf8(window::PictureEmpty);
    return QString::fromUtf8(window::PictureNotLoaded).arg(QDir::toNativeSeparators(path), reason);
}

} // namespace mosaiq
