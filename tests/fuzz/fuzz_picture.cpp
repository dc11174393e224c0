// Arbitrary bytes through the picture reader, every format it takes: Qt's readers, libheif,
// the colour profiles and our own walks through the files' structure. A picture read must be
// whole and within the limit; a refusal must say why.
#include "image/picturereader.h"
#include "support/pixelat.h"

#include <QImageReader>

#include <cstdint>
#include <cstdlib>

using namespace mosaiq;

namespace {

// Small enough that a lying header costs little; the limit's handling is the same at any size.
constexpr qint64 FuzzMaxPixels = 4'000'000;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setUpPictureReading();
    QImageReader::setAllocationLimit(64); // megabytes, for the readers that state no size
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Picture picture = readPictureData(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), FuzzMaxPixels);
    if (picture.error != PictureError::None) {
        if (!picture.image.isNull() || pictureErrorText(picture).isEmpty())
            std::abort();
        return 0;
    }
    const PixelBuffer pixels = picture.pixels();
    if (picture.image.format() != QImage::Format_RGB32 || pixels.width <= 0 || pixels.height <= 0
        || qint64(pixels.width) * pixels.height > FuzzMaxPixels)
        std::abort();
    // Every pixel is readable, the last one included.
    volatile ColourValue last = pixelAt(pixels, pixels.width - 1, pixels.height - 1);
    (void)last;
    return 0;
}
