// A plain JPEG read without Qt gives the picture reader's pixels byte for byte, turned as its
// EXIF says; whatever it does not read alike it leaves to the reader.
#include "image/picturereader.h"
#include "jpeg/plainjpeg.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstring>
#include <filesystem>
#include <string>

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
    const mosaiq::PixelBuffer ours = plain.picture->pixels();
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
    const mosaiq::PixelBuffer pixels = plain.picture->pixels();
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
