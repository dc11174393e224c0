// Pictures as people have them: phone photos turned by their EXIF, colour profiles, HEIF, GIFs
// without their end, icons and 16-bit BMPs. The files of tests/data/good were made by
// tests/data/make/make-pictures.sh; the expected colours are those ImageMagick shows through
// the same profiles.
#include "image/picturereader.h"

#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

using namespace mosaiq;

namespace {

const QString Good = QStringLiteral(MOSAIQ_TEST_DATA "/good/");

using Rgb = std::array<int, 3>;
using Blocks = std::array<Rgb, 6>; // the 8 x 8 blocks of a 24 x 16 picture, row by row

// Red, green, blue over yellow, white, black.
constexpr Blocks Seen { { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 255, 255, 0 },
    { 255, 255, 255 }, { 0, 0, 0 } } };

struct Case {
    std::string file;
    Blocks colours;
    int tolerance;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.file;
}

// Whether every block's middle is its colour, give or take tolerance on each channel.
testing::AssertionResult showsBlocks(const Picture& picture, const Blocks& colours, int tolerance)
{
    if (picture.isNull())
        return testing::AssertionFailure() << "not read: " << int(picture.error);
    if (picture.image.size() != QSize(24, 16))
        return testing::AssertionFailure()
            << picture.image.width() << " x " << picture.image.height();
    for (int i = 0; i < 6; ++i) {
        const QRgb p = picture.image.pixel(4 + 8 * (i % 3), 4 + 8 * (i / 3));
        const Rgb got { qRed(p), qGreen(p), qBlue(p) };
        for (int c = 0; c < 3; ++c) {
            if (std::abs(got[c] - colours[i][c]) > tolerance)
                return testing::AssertionFailure()
                    << "block " << i << ": " << got[0] << "," << got[1] << "," << got[2];
        }
    }
    return testing::AssertionSuccess();
}

class SeenAsViewersShowIt : public testing::TestWithParam<Case> { };

TEST_P(SeenAsViewersShowIt, givesTheColoursOfItsBlocks)
{
    EXPECT_TRUE(showsBlocks(readPicture(Good + QString::fromStdString(GetParam().file)),
        GetParam().colours, GetParam().tolerance));
}

std::vector<Case> orientations()
{
    std::vector<Case> cases;
    for (const char* format : { "jpg", "tif", "webp" }) {
        for (int v = 1; v <= 8; ++v)
            cases.push_back({ "orientation-" + std::to_string(v) + "." + format, Seen, 2 });
    }
    // Turned by their own boxes; the EXIF inside says the same and is not applied again.
    cases.push_back({ "orientation-6.heic", Seen, 2 });
    cases.push_back({ "orientation-6.avif", Seen, 2 });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Orientation, SeenAsViewersShowIt, testing::ValuesIn(orientations()));

// Display P3 and its table-based twin, Adobe RGB, a grey profile of gamma 1.8 and CMYK with
// inks that are not pure (naive CMYK would give cyan as 0, 255, 255), Adobe's inverted in JPEG.
constexpr Blocks P3 { { { 216, 68, 50 }, { 0, 162, 81 }, { 64, 90, 207 }, { 128, 128, 128 },
    { 64, 64, 64 }, { 191, 192, 192 } } };

constexpr Blocks Inks { { { 21, 179, 255 }, { 255, 0, 203 }, { 255, 255, 0 }, { 128, 127, 126 },
    { 255, 0, 0 }, { 255, 255, 255 } } };

INSTANTIATE_TEST_SUITE_P(Profile, SeenAsViewersShowIt,
    testing::Values(Case { "p3.png", P3, 2 }, Case { "p3.jpg", P3, 2 }, Case { "p3.webp", P3, 2 },
        Case { "p3.heic", P3, 2 }, Case { "p3-table.png", P3, 3 }, Case { "p3.bmp", P3, 2 },
        Case { "p3.gif", P3, 2 },
        // A PNG's own chunks: Display P3's primaries with sRGB's curve, and linear light.
        Case { "p3-primaries.png", P3, 2 },
        Case { "gamma-1.png",
            { { { 229, 152, 133 }, { 133, 208, 160 }, { 143, 160, 229 }, { 188, 188, 188 },
                { 137, 137, 137 }, { 225, 225, 225 } } },
            2 },
        Case { "adobe-rgb.tif",
            { { { 229, 78, 56 }, { 0, 161, 84 }, { 57, 89, 204 }, { 129, 129, 129 }, { 61, 61, 61 },
                { 193, 193, 193 } } },
            2 },
        Case { "grey.jpg",
            { { { 123, 123, 123 }, { 152, 152, 152 }, { 113, 113, 113 }, { 146, 146, 146 },
                { 81, 81, 81 }, { 203, 203, 203 } } },
            2 },
        Case { "cmyk.jpg", Inks, 3 }, Case { "cmyk.tif", Inks, 3 },
        Case { "cmyk-orientation-6.tif", Inks, 3 }));

// No profile: the numbers are the colours.
constexpr Blocks Plain { { { 200, 80, 60 }, { 60, 160, 90 }, { 70, 90, 200 }, { 128, 128, 128 },
    { 64, 64, 64 }, { 192, 192, 192 } } };

INSTANTIATE_TEST_SUITE_P(Heif, SeenAsViewersShowIt,
    testing::Values(Case { "colours.heic", Plain, 2 }, Case { "colours.avif", Plain, 2 }));

// A GIF's first frame, whole, is what browsers show, whatever follows it or is missing after.
INSTANTIATE_TEST_SUITE_P(Gif, SeenAsViewersShowIt,
    testing::Values(Case { "no-trailer.gif", Seen, 0 }, Case { "trailing-bytes.gif", Seen, 0 },
        Case { "animated.gif", Seen, 0 }, Case { "animated-cut-in-second-frame.gif", Seen, 0 }));

TEST(PictureKinds, aPictureWithoutProfileOrTurnKeepsQtsBytes)
{
    for (const char* file : { "orientation-1.jpg", "orientation-1.webp", "gradient.gif",
             "grey-no-profile.jpg", "srgb-by-gamma.png" }) {
        const QImage qt = QImage(Good + file).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(readPicture(Good + file).image, qt) << file;
    }
}

TEST(PictureKinds, aTurnedJpegHasTheBytesOfQtsTurnedDecode)
{
    // Turned JPEGs are decoded in one pass of our own: every pixel must land where Qt puts it.
    for (int v = 1; v <= 8; ++v) {
        const QString file = Good + QStringLiteral("orientation-%1.jpg").arg(v);
        QImageReader reader(file);
        reader.setAutoTransform(true);
        EXPECT_EQ(readPicture(file).image, reader.read().convertToFormat(QImage::Format_RGB32))
            << v;
    }
}

TEST(PictureKinds, aProfileWithAbsurdColorantsIsReadWithoutOverflow)
{
    // Colorants of 30000 (as a fuzzer made them) go through LittleCMS, not the fixed-point
    // tables; whatever the colours, the picture is read.
    const Picture picture = readPicture(Good + "absurd-colorants.png");
    EXPECT_EQ(picture.error, PictureError::None);
    EXPECT_EQ(picture.image.size(), QSize(9, 2));
}

TEST(PictureKinds, anIconGivesItsLargestEntry)
{
    for (const char* file : { "three-sizes.ico", "three-sizes.cur" }) {
        const Picture picture = readPicture(Good + file);
        ASSERT_EQ(picture.image.size(), QSize(48, 48)) << file;
        EXPECT_EQ(picture.image.pixel(24, 24), qRgb(0, 0, 255)) << file;
    }
}

TEST(PictureKinds, sixteenBitBmpsReachFullWhite)
{
    // Red, green, blue, grey / yellow, white, black, sky: as near as 5 or 6 bits come.
    const std::array<QRgb, 8> expected { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
        qRgb(132, 132, 132), qRgb(255, 255, 0), qRgb(255, 255, 255), qRgb(0, 0, 0),
        qRgb(8, 132, 255) };
    for (const char* file :
        { "rgb555.bmp", "bitfields555.bmp", "bitfields565.bmp", "argb1555.bmp" }) {
        const Picture picture = readPicture(Good + file);
        ASSERT_EQ(picture.image.size(), QSize(4, 2)) << file;
        for (int i = 0; i < 8; ++i) {
            const QRgb p = picture.image.pixel(i % 4, i / 4);
            EXPECT_LE(std::abs(qGreen(p) - qGreen(expected[i])), 2) << file << " pixel " << i;
            EXPECT_EQ(qRed(p), qRed(expected[i])) << file << " pixel " << i;
            EXPECT_EQ(qBlue(p), qBlue(expected[i])) << file << " pixel " << i;
        }
    }
}

} // namespace
