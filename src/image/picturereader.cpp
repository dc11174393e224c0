#include "image/picturereader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
            return image.format() == QImage::Format_RGB32
                ? image
                : image.convertToFormat(QImage::Format_RGB32);
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

    // Qt's readers hand back what they could decode of a cut-off file and at most print a warning.
    // A picture with its lower part missing is damaged, not fine, so watch for what they leave.
    bool sawPrematureEnd = false;
    QtMessageHandler previousHandler = nullptr;

    void watchReaderWarnings(
        QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.contains(QLatin1String("premature end"), Qt::CaseInsensitive))
            sawPrematureEnd = true;
        // The readers' own complaints reach the user as our message; keep them off the terminal.
        const bool fromReader
            = context.category && qstrncmp(context.category, "qt.gui.imageio", 14) == 0;
        if (!fromReader && previousHandler)
            previousHandler(type, context, message);
    }

    // An uncompressed BMP says how many bytes of pixels follow; fewer in the file means a lie.
    bool bmpShorterThanItsHeader(QFile& file)
    {
        const QByteArray head = file.read(34);
        if (head.size() < 34 || !head.startsWith("BM"))
            return false;
        const auto* bytes = reinterpret_cast<const uchar*>(head.constData());
        const quint32 offset = qFromLittleEndian<quint32>(bytes + 10);
        const quint32 infoSize = qFromLittleEndian<quint32>(bytes + 14);
        if (infoSize < 40)
            return false;
        const qint64 width = qFromLittleEndian<qint32>(bytes + 18);
        const qint64 height = qAbs(qint64(qFromLittleEndian<qint32>(bytes + 22)));
        const quint16 bitCount = qFromLittleEndian<quint16>(bytes + 28);
        const quint32 compression = qFromLittleEndian<quint32>(bytes + 30);
        if (compression != 0 && compression != 3) // run-length data has no fixed size
            return false;
        const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
        return qint64(offset) + rowBytes * height > file.size();
    }

    // Whether the file ends the way a complete picture of its format ends.
    bool looksCutOff(QFile& file, const QByteArray& format)
    {
        if (!file.seek(0))
            return false;
        if (format == "bmp")
            return bmpShorterThanItsHeader(file);
        if (format == "gif") {
            // Every GIF ends with its trailer byte ";"; a cut-off one does not. Some writers pad
            // the file after it, so padding is looked past.
            file.seek(std::max<qint64>(0, file.size() - 256));
            QByteArray tail = file.readAll();
            while (!tail.isEmpty() && (tail.back() == '\0' || std::isspace(uchar(tail.back()))))
                tail.chop(1);
            return !tail.endsWith(';');
        }
        return false;
    }

    // Decodes the open file.
    Picture decode(QFile& file)
    {
        Picture picture;
        // Qt's own limit (256 MB) would refuse ordinary 100-megapixel photos; ours is by pixels.
        QImageReader::setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)) + 64);
        // A named file's suffix picks the reader first; the content decides when it lies or is
        // missing.
        QImageReader reader(&file);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() > MaxPicturePixels) {
            picture.error = PictureError::TooLarge;
            return picture;
        }
        const QByteArray format = reader.format(); // forgotten once the reader has read
        QImage image;
        sawPrematureEnd = false;
        previousHandler = qInstallMessageHandler(watchReaderWarnings);
        const bool read = reader.read(&image);
        qInstallMessageHandler(previousHandler);
        if (read && (sawPrematureEnd || looksCutOff(file, format))) {
            picture.error = PictureError::Damaged;
            return picture;
        }
        if (!read || image.isNull()) {
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
                picture.error
                    = reader.errorString().contains(QLatin1String("alloc"), Qt::CaseInsensitive)
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

    Picture failure(PictureError error)
    {
        Picture picture;
        picture.error = error;
        return picture;
    }

} // namespace

Picture readPicture(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return failure(PictureError::NotFound);
    if (!info.isFile())
        return failure(PictureError::NotAFile);
    if (info.size() == 0)
        return failure(PictureError::Empty);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(PictureError::Unreadable);
    return decode(file);
}

Picture readPictureNative(const std::string& path)
{
    // Qt's file names are Unicode; a name in another encoding is opened by its bytes instead.
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return failure(errno == EACCES ? PictureError::Unreadable : PictureError::NotFound);
    if (!S_ISREG(status.st_mode))
        return failure(PictureError::NotAFile);
    if (status.st_size == 0)
        return failure(PictureError::Empty);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(PictureError::Unreadable);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failure(PictureError::Unreadable);
    }
    return decode(file);
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
