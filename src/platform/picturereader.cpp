#include "picturereader.h"

#include <QFileInfo>
#include <QImageReader>

namespace mosaiq {

PixelBuffer Picture::pixels() const
{
    PixelBuffer buffer;
    if (image.isNull())
        return buffer;
    buffer.pixels = reinterpret_cast<const std::uint32_t*>(image.constBits());
    buffer.width = image.width();
    buffer.height = image.height();
    buffer.stride = image.bytesPerLine() / 4;
    return buffer;
}

namespace {

// A transparent pixel shows what lies under it; a page has nothing under it, so white.
QImage flattenOnWhite(QImage image)
{
    if (!image.hasAlphaChannel())
        return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    image.convertTo(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            if (a == 255)
                continue;
            auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            line[x] = qRgb(over(qRed(p)), over(qGreen(p)), over(qBlue(p)));
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

} // namespace

Picture readPicture(const QString& path)
{
    Picture picture;
    const QFileInfo info(path);
    if (!info.exists()) {
        picture.error = PictureError::NotFound;
        return picture;
    }
    if (!info.isFile()) {
        picture.error = PictureError::NotAFile;
        return picture;
    }
    if (info.size() == 0) {
        picture.error = PictureError::Empty;
        return picture;
    }
    if (!info.isReadable()) {
        picture.error = PictureError::Unreadable;
        return picture;
    }

    // Qt's own limit (256 MB) would refuse ordinary 100-megapixel photos; ours is by pixels.
    QImageReader::setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)) + 64);
    // The suffix picks the reader first and the content decides when the suffix lies.
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > MaxPicturePixels) {
        picture.error = PictureError::TooLarge;
        return picture;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        switch (reader.error()) {
        case QImageReader::UnsupportedFormatError:
            picture.error = PictureError::NotAPicture;
            break;
        case QImageReader::FileNotFoundError:
        case QImageReader::DeviceError:
            picture.error = PictureError::Unreadable;
            break;
        default:
            // A reader that refuses its allocation says so only in its text.
            picture.error = reader.errorString().contains(QLatin1String("alloc"), Qt::CaseInsensitive)
                ? PictureError::TooLarge
                : PictureError::Damaged;
            break;
        }
        picture.detail = reader.errorString();
        return picture;
    }
    picture.image = flattenOnWhite(std::move(image));
    if (picture.image.isNull())
        picture.error = PictureError::TooLarge; // the conversion could not get its memory
    return picture;
}

QString pictureErrorText(const Picture& picture)
{
    switch (picture.error) {
    case PictureError::None:
        return {};
    case PictureError::NotFound:
        return QStringLiteral("Le fichier n'existe pas.");
    case PictureError::NotAFile:
        return QStringLiteral("Ce n'est pas un fichier mais un dossier.");
    case PictureError::Empty:
        return QStringLiteral("Le fichier est vide.");
    case PictureError::Unreadable:
        return QStringLiteral("Le fichier ne peut pas être lu (droits d'accès ?).");
    case PictureError::NotAPicture:
        return QStringLiteral("Ce n'est pas une image dans un format connu.");
    case PictureError::Damaged:
        return QStringLiteral("L'image est endommagée ou incomplète.");
    case PictureError::TooLarge:
        return QStringLiteral("L'image est trop grande pour être chargée.");
    }
    return {};
}

} // namespace mosaiq
