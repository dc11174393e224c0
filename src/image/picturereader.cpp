#include "image/picturereader.h"

#include "image/colourconversion.h"
#include "image/heifpicture.h"
#include "image/jpegpicture.h"
#include "image/picturefacts.h"
#include "image/tiffpicture.h"
#include "wording/picturewords.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QTransform>

#include <libheif/heif.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <memory>
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
    if (!opacity.isNull()) {
        buffer.alpha = opacity.constBits();
        buffer.alphaStride = opacity.bytesPerLine();
    }
    return buffer;
}

void setUpPictureReading()
{
    // Qt's limit (256 MB) would refuse ordinary 100-megapixel photos; ours is by pixels.
    QImageReader::setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)) + 64);
    // A reader's complaint about a damaged file or profile reaches the user as our message.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false\nqt.gui.icc*=false"));
    heif_init(nullptr);
}

namespace {

    // No picture we accept comes in a larger HEIF file, which is read whole.
    constexpr qint64 MaxHeifFileBytes = qint64(1) << 30;

    // A transparent pixel shows what lies under it; a page has nothing under it, so white. Each
    // pixel's opacity is kept beside, when some pixel is not opaque, for the runs that show such
    // cells as the page's background.
    QImage flattenOnWhite(QImage image, QImage& opacity)
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
                if (opacity.isNull()) {
                    opacity = QImage(image.size(), QImage::Format_Alpha8);
                    if (opacity.isNull())
                        return {};
                    opacity.fill(255);
                }
                opacity.scanLine(y)[x] = uchar(a);
                auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
                line[x] = qRgb(over(qRed(p)), over(qGreen(p)), over(qBlue(p)));
            }
        }
        image.reinterpretAsFormat(QImage::Format_RGB32);
        return image;
    }

    // The turns Qt's readers name for the EXIF orientations 1 to 8.
    QImageIOHandler::Transformations fromExif(int orientation)
    {
        static constexpr std::array<QImageIOHandler::Transformation, 8> turns {
            QImageIOHandler::TransformationNone,
            QImageIOHandler::TransformationMirror,
            QImageIOHandler::TransformationRotate180,
            QImageIOHandler::TransformationFlip,
            QImageIOHandler::TransformationFlipAndRotate90,
            QImageIOHandler::TransformationRotate90,
            QImageIOHandler::TransformationMirrorAndRotate90,
            QImageIOHandler::TransformationRotate270,
        };
        return orientation >= 1 && orientation <= 8 ? turns[orientation - 1]
                                                    : QImageIOHandler::TransformationNone;
    }

    // Turns a picture as Qt's readers do when they apply a file's orientation themselves.
    QImage turned(QImage image, QImageIOHandler::Transformations turns)
    {
        if (turns == QImageIOHandler::TransformationNone)
            return image;
        if (turns == QImageIOHandler::TransformationRotate270)
            return image.transformed(QTransform().rotate(270));
        image = std::move(image).mirrored(turns & QImageIOHandler::TransformationMirror,
            turns & QImageIOHandler::TransformationFlip);
        if (turns & QImageIOHandler::TransformationRotate90)
            image = image.transformed(QTransform().rotate(90));
        return image;
    }

    // Qt's reader widens a packed channel of n bits by a shift, so that 5-bit white comes out
    // as 248: stretch each such channel to the full 0-255 range.
    void widenPackedChannels(QImage& image, const std::array<int, 4>& bits)
    {
        if (bits == std::array<int, 4> {})
            return;
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        std::array<std::array<quint8, 256>, 4> widen;
        for (int channel = 0; channel < 4; ++channel) {
            const int n = bits[channel];
            for (int v = 0; v < 256; ++v) {
                const int max = (1 << n) - 1;
                widen[channel][v]
                    = n == 0 ? quint8(v) : quint8(((v >> (8 - n)) * 255 + max / 2) / max);
            }
        }
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = line[x];
                line[x] = qRgba(widen[0][qRed(p)], widen[1][qGreen(p)], widen[2][qBlue(p)],
                    widen[3][qAlpha(p)]);
            }
        }
    }

    // Converts a decoded picture from its profile's colours to sRGB, in place. A profile that
    // does not fit the picture (an RGB profile on a grey one) is ignored, as viewers do.
    void convertToSrgb(QImage& image, const QByteArray& profile)
    {
        const bool grey = image.format() == QImage::Format_Grayscale8
            || image.format() == QImage::Format_Grayscale16;
        const ColourConversion conversion(
            profile, grey ? ColourConversion::Layout::Grey32 : ColourConversion::Layout::Rgb32);
        if (!conversion.isValid())
            return;
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull())
            return;
        uchar* bits = image.bits();
        conversion.convert(
            bits, image.bytesPerLine(), bits, image.bytesPerLine(), image.width(), image.height());
    }

    PictureError readerError(const QImageReader& reader)
    {
        switch (reader.error()) {
        case QImageReader::UnsupportedFormatError:
            return PictureError::NotAPicture;
        case QImageReader::FileNotFoundError:
        case QImageReader::DeviceError:
            return PictureError::Unreadable;
        default:
            // A reader that refuses its allocation says so only in its text.
            return reader.errorString().contains(QLatin1String("alloc"), Qt::CaseInsensitive)
                ? PictureError::TooLarge
                : PictureError::Damaged;
        }
    }

    Picture failure(PictureError error, const QString& detail = {})
    {
        Picture picture;
        picture.error = error;
        picture.detail = detail;
        return picture;
    }

    // The picture of a finished decode, as the engine samples it.
    Picture finished(QImage image)
    {
        Picture picture;
        picture.image = flattenOnWhite(std::move(image), picture.opacity);
        if (picture.image.isNull())
            picture.error = PictureError::TooLarge; // the conversion could not get its memory
        return picture;
    }

    Picture decodeHeif(QIODevice& device, qint64 maxPixels)
    {
        if (device.size() > MaxHeifFileBytes)
            return failure(PictureError::TooLarge);
        device.seek(0);
        const QByteArray file = device.readAll();
        if (file.size() != device.size())
            return failure(PictureError::Unreadable);
        PictureError error = PictureError::None;
        QString detail;
        QImage image = readHeif(file, maxPixels, error, detail);
        if (error != PictureError::None)
            return failure(error, detail);
        return finished(std::move(image));
    }

    // An icon holds several pictures; the largest is the one drawn with most care.
    bool jumpToLargestEntry(QImageReader& reader)
    {
        const int count = std::min(reader.imageCount(), 1024);
        if (count <= 0)
            return false;
        int best = 0;
        qint64 bestArea = -1;
        for (int i = 0; i < count; ++i) {
            if (!reader.jumpToImage(i))
                continue;
            const QSize size = reader.size();
            if (qint64(size.width()) * size.height() > bestArea) {
                bestArea = qint64(size.width()) * size.height();
                best = i;
            }
        }
        return reader.jumpToImage(best);
    }

    // Decodes the file or buffer open in device, from its start, if it has at most maxPixels.
    Picture decode(QIODevice& device, qint64 maxPixels, ReadingThreads threads)
    {
        if (looksLikeHeif(device.peek(64)))
            return decodeHeif(device, maxPixels);
        QImageReader reader(&device);
        reader.setAutoTransform(true);
        // A named file's suffix picks the reader first; the content decides when it lies or is
        // missing. Qt's TGA reader turns some files upside down and refuses most others; TGA
        // is left out rather than shown wrong.
        const QByteArray format = reader.format(); // forgotten once the reader has read
        if (format == "tga")
            return failure(PictureError::NotAPicture);
        const PictureFacts facts = inspectPicture(device, format);
        device.seek(0);
        if (facts.cutShort)
            return failure(PictureError::Damaged);
        if ((format == "ico" || format == "cur") && !jumpToLargestEntry(reader))
            return failure(PictureError::NotAPicture);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() > maxPixels)
            return failure(PictureError::TooLarge);

        if (format == "jpeg") {
            const bool cmyk = facts.jpegComponents == 4;
            const ColourConversion::Layout layout = cmyk
                ? (facts.jpegAdobe ? ColourConversion::Layout::CmykInverted
                                   : ColourConversion::Layout::Cmyk)
                : facts.jpegComponents == 1 ? ColourConversion::Layout::Grey32
                                            : ColourConversion::Layout::Rgb32;
            std::unique_ptr<ColourConversion> conversion;
            if (!facts.iccProfile.isEmpty())
                conversion = std::make_unique<ColourConversion>(facts.iccProfile, layout);
            if (conversion && !conversion->isValid())
                conversion.reset(); // a profile that does not fit is ignored
            // Every JPEG but a CMYK one without profile (whose colours Qt's reader makes by
            // its own formula, kept as it was) is decoded in one pass of our own: the same
            // libjpeg and the same bytes as Qt's reader, without its second pass over the
            // picture, turned and converted on the way.
            if (conversion || !cmyk) {
                device.seek(0);
                PictureError error = PictureError::None;
                QImage image = readJpeg(device.readAll(), facts.exifOrientation, conversion.get(),
                    maxPixels, threads, error);
                if (error != PictureError::None)
                    return failure(error);
                return finished(std::move(image));
            }
        }

        // A CMYK TIFF with its profile is read from its inks; Qt's reader would give RGB made
        // by a formula of its own.
        if ((format == "tiff" || format == "tif") && !facts.iccProfile.isEmpty()) {
            const ColourConversion inks(facts.iccProfile, ColourConversion::Layout::Cmyk);
            if (inks.isValid()) {
                device.seek(0);
                PictureError error = PictureError::None;
                int orientation = 1;
                QImage image = readCmykTiff(device.readAll(), inks, maxPixels, orientation, error);
                if (error != PictureError::None)
                    return failure(error);
                if (!image.isNull())
                    return finished(turned(std::move(image), fromExif(orientation)));
                device.seek(0);
            }
        }

        QImage image;
        if (!reader.read(&image) || image.isNull())
            return failure(readerError(reader), reader.errorString());
        if (qint64(image.width()) * image.height() > maxPixels) // a reader that gave no size
            return failure(PictureError::TooLarge);
        if (!reader.supportsOption(QImageIOHandler::ImageTransformation))
            image = turned(std::move(image), fromExif(facts.exifOrientation));
        widenPackedChannels(image, facts.bmpChannelBits);
        if (!facts.iccProfile.isEmpty() && format != "jpeg")
            convertToSrgb(image, facts.iccProfile);
        return finished(std::move(image));
    }

    PictureError notARegularFile(mode_t mode)
    {
        if (S_ISDIR(mode))
            return PictureError::Folder;
        if (S_ISFIFO(mode))
            return PictureError::NamedPipe;
        if (S_ISCHR(mode) || S_ISBLK(mode))
            return PictureError::Device;
        if (S_ISSOCK(mode))
            return PictureError::Socket;
        return PictureError::NotAFile;
    }

} // namespace

Picture readPicture(const QString& path)
{
    if (path.isEmpty())
        return failure(PictureError::NotFound);
    return readPictureNative(QFile::encodeName(path).toStdString());
}

Picture readPictureNative(const std::string& path, ReadingThreads threads)
{
    // What is not a regular file is never opened: a named pipe would wait for a writer, and
    // opening a device may do something.
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return failure(errno == EACCES ? PictureError::Unreadable : PictureError::NotFound);
    if (!S_ISREG(status.st_mode))
        return failure(notARegularFile(status.st_mode));
    if (status.st_size == 0)
        return failure(PictureError::Empty);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return failure(PictureError::Unreadable);
    // The name may have been given to something else since it was looked at.
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return failure(notARegularFile(status.st_mode));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failure(PictureError::Unreadable);
    }
    return decode(file, MaxPicturePixels, threads);
}

Picture readPictureData(const QByteArray& bytes, qint64 maxPixels, ReadingThreads threads)
{
    if (bytes.isEmpty())
        return failure(PictureError::Empty);
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return failure(PictureError::Unreadable);
    return decode(buffer, maxPixels, threads);
}

QString pictureErrorText(const Picture& picture)
{
    return QString::fromUtf8(pictureErrorWords(picture.error));
}

} // namespace mosaiq
