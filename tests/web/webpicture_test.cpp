// The browser's module reads the pictures it decodes itself as mosaiq-cli's reader does, word
// for word, their opacity kept where that reader keeps it; what needs a colour conversion is left
// to the browser, and a cut file is damaged.
#include "image/picturelimit.h"
#include "image/picturereader.h"
#include "web/warmdecoders.h"
#include "web/webpicture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace mosaiq {
namespace {

    using Reader = WebPictureHead::Reader;

    QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    WebPictureHead headOf(const QByteArray& bytes)
    {
        return webPictureHead(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    }

    struct Case {
        const char* file;
        Reader reader;
    };

    class WhoReads : public testing::TestWithParam<Case> { };

    TEST_P(WhoReads, ThePictureNamedByItsStructure)
    {
        const QByteArray bytes
            = fileBytes(QStringLiteral(MOSAIQ_TEST_DATA "/") + QString::fromUtf8(GetParam().file));
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_EQ(headOf(bytes).reader, GetParam().reader);
    }

    INSTANTIATE_TEST_SUITE_P(Pictures, WhoReads,
        testing::Values(Case { "good/sixteen-bits.png", Reader::Module },
            Case { "good/srgb-by-gamma.png", Reader::Module },
            Case { "good/indexed-transparent.png", Reader::Module },
            Case { "good/gradient.gif", Reader::Module },
            Case { "good/bitfields565.bmp", Reader::Module },
            Case { "good/orientation-6.jpg", Reader::Module },
            Case { "good/gamma-1.png", Reader::Browser }, // linear light: converted
            Case { "good/p3-primaries.png", Reader::Browser },
            Case { "good/p3.png", Reader::Browser }, // a profile
            Case { "good/p3.gif", Reader::Browser }, Case { "good/p3.bmp", Reader::Browser },
            Case { "good/p3.jpg", Reader::Browser }, Case { "good/cmyk.jpg", Reader::Browser },
            Case { "good/orientation-1.webp", Reader::Browser },
            Case { "good/no-trailer.gif", Reader::Module },
            Case { "good/animated-cut-in-second-frame.gif", Reader::Module }));

    // Every sample the module decodes comes out as mosaiq-cli's reader gives it, its opacity
    // too, and every one it calls damaged, mosaiq-cli refuses as damaged.
    TEST(WebPicture, DecodesEverySampleAsMosaiqCliReadsIt)
    {
        int decoded = 0, transparent = 0;
        for (const char* folder : { "good", "bad" }) {
            const QDir dir(QStringLiteral(MOSAIQ_TEST_DATA "/") + QLatin1String(folder));
            for (const QString& name : dir.entryList(QDir::Files)) {
                SCOPED_TRACE(name.toStdString());
                const QByteArray bytes = fileBytes(dir.filePath(name));
                const WebPictureHead head = headOf(bytes);
                if (head.reader == Reader::Browser)
                    continue;
                const Picture picture = readPictureData(bytes);
                if (head.reader == Reader::Damaged) {
                    EXPECT_EQ(picture.error, PictureError::Damaged);
                    continue;
                }
                // The page refuses a picture past the module's limit from the head's size.
                if (std::int64_t(head.width) * head.height > MaxPicturePixels) {
                    EXPECT_EQ(picture.error, PictureError::TooLarge);
                    continue;
                }
                ASSERT_EQ(picture.error, PictureError::None);
                const PixelBuffer expected = picture.pixels();
                ASSERT_EQ(head.width, expected.width);
                ASSERT_EQ(head.height, expected.height);
                std::vector<std::uint32_t> words(std::size_t(head.width) * head.height);
                PictureOpacity opacity;
                opacity.reset(words.size());
                ASSERT_TRUE(decodeWebPicture(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                    std::size_t(bytes.size()), words.data(), &opacity));
                ASSERT_EQ(opacity.plane() != nullptr, expected.alpha != nullptr);
                for (int y = 0; y < head.height; ++y) {
                    const std::uint32_t* row
                        = expected.pixels + std::ptrdiff_t(y) * expected.stride;
                    ASSERT_TRUE(std::equal(row, row + head.width, words.data() + y * head.width))
                        << "row " << y;
                    if (!expected.alpha)
                        continue;
                    const std::uint8_t* alpha = expected.alpha + y * expected.alphaStride;
                    ASSERT_TRUE(std::equal(
                        alpha, alpha + head.width, opacity.plane().get() + y * head.width))
                        << "opacity of row " << y;
                }
                ++decoded;
                transparent += expected.alpha != nullptr;
            }
        }
        EXPECT_GE(decoded, 20);
        EXPECT_GE(transparent, 1);
    }

    // A built-in picture that the browser would decode, or that is damaged, warms nothing up.
    TEST(WarmDecoders, DecodeEveryBuiltInPictureInTheModule)
    {
        EXPECT_EQ(warmPictures().size(), 3u);
        EXPECT_EQ(warmDecoders(2), int(warmPictures().size()));
    }

} // namespace
} // namespace mosaiq
