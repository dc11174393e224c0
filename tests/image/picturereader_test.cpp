#include "image/picturereader.h"
#include "support/pixelat.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdio>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace mosaiq;

namespace {

const QString Data = QStringLiteral(MOSAIQ_TEST_DATA);

// As every main() does; the pictures of a hundred megapixels need it.
const bool pictureReadingSetUp = (setUpPictureReading(), true);

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    QByteArray body = QByteArray(type) + data;
    chunk += body;
    // CRC-32 as PNG wants it.
    quint32 crc = 0xFFFFFFFFu;
    for (char c : body) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    QByteArray tail(4, '\0');
    qToBigEndian<quint32>(crc ^ 0xFFFFFFFFu, tail.data());
    return chunk + tail;
}

// A grey PNG of width x height, all zero, written without holding its pixels: a large picture
// in a small file.
QByteArray blackPng(int width, int height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(width), header.data());
    qToBigEndian<quint32>(quint32(height), header.data() + 4);
    header[8] = 8; // bits per sample
    header[9] = 0; // grey
    QByteArray raw(qsizetype(width + 1) * height, '\0');
    QByteArray zlib
        = qCompress(raw, 9).mid(4); // qCompress puts the length in front of a zlib stream
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", zlib)
        + pngChunk("IEND", {});
}

// A 1300 x 1000 JPEG of smooth colours, with an EXIF orientation and the profile of space.
QByteArray largePhoto(int orientation, QColorSpace space)
{
    QImage image(1300, 1000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / 1299, y * 255 / 999, (x + y) % 256));
    }
    image.setColorSpace(space);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    const char tiff[] = { 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0,
        char(orientation), 0, 0, 0, 0, 0, 0 };
    const QByteArray body = QByteArray("Exif\0\0", 6) + QByteArray(tiff, sizeof tiff);
    bytes.insert(2, QByteArray("\xFF\xE1", 2) + char(0) + char(body.size() + 2) + body);
    return bytes;
}

} // namespace

TEST(PictureReader, readsAtTheNaturalSizeWithTheEnginesColours)
{
    const Picture picture = readPicture(Data + "/good/four-colours.bmp");
    ASSERT_EQ(picture.error, PictureError::None);
    const PixelBuffer pixels = picture.pixels();
    EXPECT_EQ(pixels.width, 2);
    EXPECT_EQ(pixels.height, 2);
    EXPECT_EQ(pixelAt(pixels, 0, 0), 255);
    EXPECT_EQ(pixelAt(pixels, 1, 0), 65280);
    EXPECT_EQ(pixelAt(pixels, 0, 1), 16711680);
    EXPECT_EQ(pixelAt(pixels, 1, 1), 16777215);
    EXPECT_EQ(pixelAt(pixels, 2, 0), -1);
}

TEST(PictureReader, readsAGifPaddedAfterItsEnd)
{
    const Picture plain = readPicture(Data + "/good/gradient.gif");
    const Picture padded = readPicture(Data + "/good/padded.gif");
    ASSERT_EQ(plain.error, PictureError::None);
    ASSERT_EQ(padded.error, PictureError::None);
    EXPECT_EQ(padded.image, plain.image);
}

TEST(PictureReader, paintsTransparentPixelsOnWhite)
{
    QTemporaryDir dir;
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 0));
    image.setPixel(1, 0, qRgba(0, 0, 0, 128));
    image.setPixel(2, 0, qRgba(10, 20, 30, 255));
    ASSERT_TRUE(image.save(dir.filePath("alpha.png")));
    const Picture picture = readPicture(dir.filePath("alpha.png"));
    ASSERT_EQ(picture.error, PictureError::None);
    EXPECT_EQ(pixelAt(picture.pixels(), 0, 0), 0xFFFFFF);
    EXPECT_EQ(pixelAt(picture.pixels(), 1, 0), makeColour(127, 127, 127));
    EXPECT_EQ(pixelAt(picture.pixels(), 2, 0), makeColour(10, 20, 30));
}

struct BadCase {
    const char* file;
    PictureError error;
};

void PrintTo(const BadCase& c, std::ostream* out)
{
    *out << '"' << c.file << '"';
}

class BadPictureTest : public testing::TestWithParam<BadCase> { };

TEST_P(BadPictureTest, saysWhyAndHoldsNothing)
{
    const Picture picture = readPicture(Data + "/bad/" + GetParam().file);
    EXPECT_EQ(picture.error, GetParam().error);
    EXPECT_TRUE(picture.isNull());
    EXPECT_FALSE(pictureErrorText(picture).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Corpus, BadPictureTest,
    testing::Values(BadCase { "empty.jpg", PictureError::Empty },
        BadCase { "text.jpg", PictureError::NotAPicture },
        BadCase { "truncated.jpg", PictureError::Damaged },
        BadCase { "truncated.gif", PictureError::Damaged },
        BadCase { "huge-header.png", PictureError::TooLarge },
        BadCase { "lying-header.bmp", PictureError::Damaged },
        BadCase { "missing.bmp", PictureError::NotFound }, BadCase { "", PictureError::Folder },
        BadCase { "truncated.heic", PictureError::Damaged },
        BadCase { "fuzz/fuzz_picture/heif-overlay-canvas-gigapixels", PictureError::TooLarge },
        BadCase { "coded-larger-than-said.heic", PictureError::Damaged },
        BadCase { "coded-larger-than-said.avif", PictureError::Damaged },
        BadCase { "version-2.tga", PictureError::NotAPicture },
        BadCase { "no-footer.tga", PictureError::NotAPicture }));

TEST(PictureReader, saysWhatAPathNamesWhenItIsNoFile)
{
    QTemporaryDir dir;
    const QByteArray pipe = QFile::encodeName(dir.filePath("pipe"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    const std::string socketPath = QFile::encodeName(dir.filePath("socket")).toStdString();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::pair<std::string, PictureError> cases[] = {
        { dir.path().toStdString(), PictureError::Folder },
        { pipe.toStdString(), PictureError::NamedPipe },
        { "/dev/null", PictureError::Device },
        { socketPath, PictureError::Socket },
    };
    for (const auto& [path, error] : cases) {
        const Picture picture = readPictureNative(path);
        EXPECT_EQ(picture.error, error) << path;
        // Only a folder is called one.
        EXPECT_EQ(pictureErrorText(picture).contains(QStringLiteral("dossier")),
            error == PictureError::Folder)
            << path;
    }
    ::close(listener);
}

TEST(PictureReader, decodesOnTwoThreadsAsOneAfterTheOther)
{
    // Whole, cut-short and converted files alike: a cut JPEG on one thread must not make a
    // whole one on the other look damaged, nor a profile leak into another picture.
    const QStringList files { Data + "/bad/truncated.jpg", Data + "/good/p3.jpg",
        Data + "/good/orientation-6.jpg", Data + "/bad/truncated.gif", Data + "/good/cmyk.jpg",
        Data + "/good/colours.heic", Data + "/good/no-trailer.gif", Data + "/good/rgb555.bmp",
        Data + "/good/p3-table.png", Data + "/good/orientation-6.webp", Data + "/good/cmyk.tif" };
    std::vector<Picture> alone;
    for (const QString& file : files)
        alone.push_back(readPicture(file));
    auto readAll = [&](int start) {
        std::vector<Picture> pictures(size_t(files.size()));
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < files.size(); ++i) {
                const int k = (i + start) % int(files.size());
                pictures[size_t(k)] = readPicture(files[k]);
            }
        }
        return pictures;
    };
    auto first = std::async(std::launch::async, readAll, 0);
    auto second = std::async(std::launch::async, readAll, 3);
    for (const std::vector<Picture>& together : { first.get(), second.get() }) {
        for (int i = 0; i < files.size(); ++i) {
            EXPECT_EQ(together[size_t(i)].error, alone[size_t(i)].error) << files[i].toStdString();
            EXPECT_EQ(together[size_t(i)].image, alone[size_t(i)].image) << files[i].toStdString();
        }
    }
}

TEST(PictureReader, readsBytesInMemoryAsTheFileTheyCameFrom)
{
    for (const char* name : { "good/p3.jpg", "good/colours.heic", "bad/truncated.gif" }) {
        QFile file(Data + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const Picture fromBytes = readPictureData(file.readAll());
        const Picture fromFile = readPicture(file.fileName());
        EXPECT_EQ(fromBytes.error, fromFile.error) << name;
        EXPECT_EQ(fromBytes.image, fromFile.image) << name;
    }
}

TEST(PictureReader, findsFilesWhateverTheirNames)
{
    QTemporaryDir dir;
    for (const QString& name :
        { QStringLiteral("avec des espaces.bmp"), QStringLiteral("éléphant à l'été.bmp") }) {
        const QString path = dir.filePath(name);
        ASSERT_TRUE(QFile::copy(Data + "/good/four-colours.bmp", path));
        const Picture picture = readPicture(path);
        EXPECT_EQ(picture.error, PictureError::None) << name.toStdString();
        EXPECT_EQ(pixelAt(picture.pixels(), 1, 1), 0xFFFFFF);
    }
    // A Latin-1 name is no Unicode text: only its bytes reach it.
    const std::string latin1
        = QFile::encodeName(dir.path()).toStdString() + "/latin1-\xE9t\xE9.bmp";
    ASSERT_TRUE(QFile::copy(Data + "/good/four-colours.bmp", dir.filePath("copy.bmp")));
    ASSERT_EQ(::rename(QFile::encodeName(dir.filePath("copy.bmp")).constData(), latin1.c_str()), 0);
    const Picture picture = readPictureNative(latin1);
    EXPECT_EQ(picture.error, PictureError::None);
    EXPECT_EQ(pixelAt(picture.pixels(), 1, 1), 0xFFFFFF);
    EXPECT_EQ(readPictureNative(latin1 + ".missing").error, PictureError::NotFound);
    // Qt cannot name this file to remove it with its folder.
    ::unlink(latin1.c_str());
}

TEST(PictureReader, loadsPicturesOfAHundredMegapixels)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("large.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(blackPng(10000, 10000));
    file.close();
    const Picture picture = readPicture(file.fileName());
    ASSERT_EQ(picture.error, PictureError::None) << picture.detail.toStdString();
    EXPECT_EQ(picture.pixels().width, 10000);
    EXPECT_EQ(picture.pixels().height, 10000);
    EXPECT_EQ(pixelAt(picture.pixels(), 9999, 9999), 0);
}

TEST(PictureReader, convertsAndTurnsALargePhotoOnAHelperAsOnItsOwnThread)
{
    for (const QColorSpace& space : { QColorSpace(QColorSpace::DisplayP3),
             QColorSpace(QColorSpace::AdobeRgb), QColorSpace() }) {
        for (int orientation : { 1, 3, 6, 8 }) {
            const QByteArray bytes = largePhoto(orientation, space);
            const Picture helped
                = readPictureData(bytes, MaxPicturePixels, ReadingThreads::WithHelper);
            const Picture alone
                = readPictureData(bytes, MaxPicturePixels, ReadingThreads::CallerOnly);
            ASSERT_EQ(helped.error, PictureError::None) << orientation;
            EXPECT_EQ(
                helped.image.size(), orientation >= 5 ? QSize(1000, 1300) : QSize(1300, 1000));
            EXPECT_EQ(helped.image, alone.image) << orientation;
        }
    }
    // A second frame header in the middle of the data stops libjpeg while the helper works.
    QByteArray broken = largePhoto(6, QColorSpace(QColorSpace::DisplayP3));
    const qsizetype frame = broken.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    qsizetype middle = broken.size() * 2 / 3;
    while (broken[middle - 1] == '\xFF')
        ++middle;
    broken.insert(middle, broken.mid(frame, 2 + 17));
    for (ReadingThreads threads : { ReadingThreads::WithHelper, ReadingThreads::CallerOnly }) {
        const Picture picture = readPictureData(broken, MaxPicturePixels, threads);
        EXPECT_EQ(picture.error, PictureError::Damaged);
        EXPECT_TRUE(picture.image.isNull());
    }
}
