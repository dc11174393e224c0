// A plain JPEG read without Qt gives the picture reader's pixels byte for byte, turned as its
// EXIF says; whatever it does not read alike it leaves to the reader.
#include "image/picturereader.h"
#include "jpeg/plainjpeg.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mosaiq::PlainJpeg;

namespace {

const fs::path Data = MOSAIQ_TEST_DATA;

bool sameAsReader(const std::string& path, const PlainJpeg& plain, const mosaiq::Picture& reader)
{
    if (plain.outcome == PlainJpeg::Outcome::Damaged)
        return reader.error == mosaiq::PictureError::Damaged;
    if (plain.outcome == PlainJpeg::Outcome::TooLarge)
        return reader.error == mosaiq::PictureError::TooLarge;
    const mosaiq::PixelBuffer ours = plain.pixels;
    const mosaiq::PixelBuffer theirs = reader.pixels();
    if (reader.isNull() || ours.width != theirs.width || ours.height != theirs.height) {
        ADD_FAILURE() << path << ": " << ours.width << " x " << ours.height << " against "
                      << theirs.width << " x " << theirs.height;
        return false;
    }
    for (int y = 0; y < ours.height; ++y) {
        if (std::memcmp(ours.pixels + y * ours.stride, theirs.pixels + y * theirs.stride,
                std::size_t(ours.width) * 4)
            != 0) {
            ADD_FAILURE() << path << ": row " << y << " differs";
            return false;
        }
    }
    return true;
}

// The same file read with its rows arriving on a thread of their own: each row, once waited for,
// holds the whole decode's pixels, and a decode that gave up says so at the end.
void expectSameAsItArrives(const std::string& path, const PlainJpeg& whole)
{
    const PlainJpeg arriving
        = mosaiq::readPlainJpeg(path, mosaiq::MaxPicturePixels, mosaiq::JpegRows::Arriving);
    const mosaiq::RowArrival* arrival = arriving.pixels.arrival;
    if (whole.outcome != PlainJpeg::Outcome::Decoded) {
        if (arriving.outcome == PlainJpeg::Outcome::Decoded && arrival)
            EXPECT_FALSE(arrival->complete());
        else
            EXPECT_EQ(arriving.outcome, whole.outcome);
        return;
    }
    ASSERT_EQ(arriving.outcome, PlainJpeg::Outcome::Decoded);
    const mosaiq::PixelBuffer ours = arriving.pixels;
    const mosaiq::PixelBuffer theirs = whole.pixels;
    ASSERT_EQ(ours.height, theirs.height);
    for (int y = 0; y < ours.height; ++y) {
        if (arrival) {
            arrival->waitFor(y);
        }
        ASSERT_EQ(std::memcmp(ours.pixels + y * ours.stride, theirs.pixels + y * theirs.stride,
                      std::size_t(ours.width) * 4),
            0)
            << "row " << y;
    }
    if (arrival) {
        EXPECT_TRUE(arrival->complete());
    }
}

// The same file decoded in two bands by two decoders at split, the second passing over the rows
// above its band, as two workers decode a photo they share: each row is the whole decode's, and
// a decode that gave up makes the second band give up too (it reads the data to its end).
void expectSameInBands(const std::string& path, const PlainJpeg& whole)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int orientation = 1;
    if (!mosaiq::isPlainJpeg(file.data(), file.size(), orientation) || orientation > 2
        || whole.outcome == PlainJpeg::Outcome::TooLarge)
        return;
    mosaiq::PlainJpegBands probe;
    ASSERT_TRUE(probe.start(file.data(), file.size(), orientation));
    const int width = probe.width(), height = probe.height();
    for (const int split : { 0, 1, height / 2 + 1, height - 1 }) {
        SCOPED_TRACE(split);
        // The lower band into memory of its own rows only, as a worker holds its band.
        std::vector<std::uint32_t> bits(std::size_t(width) * std::size_t(height));
        std::vector<std::uint32_t> lower(std::size_t(width) * std::size_t(height - split));
        mosaiq::PlainJpegBands top, bottom;
        const bool read = top.start(file.data(), file.size(), orientation)
            && top.decodeTo(0, split - 1, bits.data())
            && bottom.start(file.data(), file.size(), orientation)
            && bottom.decodeTo(0, height - 1, lower.data(), split);
        if (whole.outcome != PlainJpeg::Outcome::Decoded) {
            EXPECT_FALSE(read);
            continue;
        }
        ASSERT_TRUE(read);
        EXPECT_EQ(bottom.nextRow(), height);
        const mosaiq::PixelBuffer theirs = whole.pixels;
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* ours = y < split
                ? bits.data() + std::ptrdiff_t(y) * width
                : lower.data() + std::ptrdiff_t(y - split) * width;
            ASSERT_EQ(
                std::memcmp(ours, theirs.pixels + y * theirs.stride, std::size_t(width) * 4), 0)
                << "row " << y;
        }
    }
}

} // namespace

TEST(PlainJpeg, readsWhatItTakesAsThePictureReaderDoesAndLeavesTheRest)
{
    int decoded = 0;
    // The inputs that once broke the picture reader's fuzzer come without a name's extension.
    const struct {
        const char* folder;
        bool jpgOnly;
    } folders[] = { { "good", true }, { "bad", true }, { "bad/fuzz/fuzz_picture", false } };
    for (const auto& [folder, jpgOnly] : folders) {
        for (const auto& entry : fs::directory_iterator(Data / folder)) {
            const std::string path = entry.path().string();
            if (jpgOnly && entry.path().extension() != ".jpg")
                continue;
            SCOPED_TRACE(path);
            const PlainJpeg plain = mosaiq::readPlainJpeg(path, mosaiq::MaxPicturePixels);
            if (plain.outcome == PlainJpeg::Outcome::NotPlain)
                continue;
            decoded += plain.outcome == PlainJpeg::Outcome::Decoded;
            EXPECT_TRUE(sameAsReader(path, plain, mosaiq::readPictureNative(path)));
            expectSameAsItArrives(path, plain);
            expectSameInBands(path, plain);
        }
    }
    // The eight turns and the grey photo without profile at least.
    EXPECT_GE(decoded, 9);
}

TEST(PlainJpeg, leavesProfilesInksAndCutFilesToTheReader)
{
    for (const char* name :
        { "good/p3.jpg", "good/cmyk.jpg", "good/grey.jpg", "bad/truncated.jpg", "bad/text.jpg",
            "bad/empty.jpg", "good/four-colours.bmp", "no-such-file.jpg", "good" }) {
        SCOPED_TRACE(name);
        EXPECT_EQ(mosaiq::readPlainJpeg((Data / name).string(), mosaiq::MaxPicturePixels).outcome,
            PlainJpeg::Outcome::NotPlain);
    }
    const std::string turned = (Data / "good" / "orientation-6.jpg").string();
    const PlainJpeg plain = mosaiq::readPlainJpeg(turned, mosaiq::MaxPicturePixels);
    ASSERT_EQ(plain.outcome, PlainJpeg::Outcome::Decoded);
    const mosaiq::PixelBuffer pixels = plain.pixels;
    // Stored 16 x 24, shown as the upright picture.
    EXPECT_EQ(pixels.width, 24);
    EXPECT_EQ(pixels.height, 16);
}

TEST(PlainJpeg, refusesMorePixelsThanAllowedAsTheReaderDoes)
{
    const std::string path = (Data / "good" / "orientation-1.jpg").string();
    const PlainJpeg plain = mosaiq::readPlainJpeg(path, 10);
    EXPECT_EQ(plain.outcome, PlainJpeg::Outcome::TooLarge);
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(mosaiq::readPictureData(file.readAll(), 10).error, mosaiq::PictureError::TooLarge);
}

TEST(PlainJpeg, givesAPhotosRowsInOrderWhileItDecodesTheRest)
{
    // Many bands of rows, so that the engine may read the first while later ones decode.
    QImage photo(640, 900, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x * 255 / 640, y * 255 / 900, (x ^ y) & 0xFF));
    const fs::path path = fs::temp_directory_path() / "mosaiq-arriving-rows.jpg";
    ASSERT_TRUE(photo.save(QString::fromStdString(path.string()), "JPEG", 90));
    const PlainJpeg whole = mosaiq::readPlainJpeg(path.string(), mosaiq::MaxPicturePixels);
    ASSERT_EQ(whole.outcome, PlainJpeg::Outcome::Decoded);
    const PlainJpeg arriving = mosaiq::readPlainJpeg(
        path.string(), mosaiq::MaxPicturePixels, mosaiq::JpegRows::Arriving);
    EXPECT_NE(arriving.pixels.arrival, nullptr);
    expectSameAsItArrives(path.string(), whole);
    expectSameInBands(path.string(), whole);
    // Progressive: the rows above a band are passed over after every scan is read.
    QImageWriter writer(QString::fromStdString(path.string()), "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(photo));
    std::ifstream written(path, std::ios::binary);
    const std::string bytes(
        (std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    ASSERT_NE(bytes.find("\xFF\xC2"), std::string::npos); // a progressive frame
    expectSameInBands(
        path.string(), mosaiq::readPlainJpeg(path.string(), mosaiq::MaxPicturePixels));
    fs::remove(path);
}
