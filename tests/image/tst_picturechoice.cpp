// What the picture dialog offers and how the window shows a chosen picture.
#include "image/picturechoice.h"

#include <QImageReader>
#include <QTest>

#include <cstdlib>

using namespace mosaiq;

class TestPictureChoice : public QObject {
    Q_OBJECT
private slots:
    void theFilterListsAnyFileFirstThenTheClassicFormats();
    void theFilterOffersEveryOtherReadableFormat();
    void aSmallPictureIsEnlargedToFlatColours();
};

void TestPictureChoice::theFilterListsAnyFileFirstThenTheClassicFormats()
{
    QStringList entries = pictureFileFilter().split(QStringLiteral(";;"));
    QCOMPARE(entries.mid(0, 4),
        QStringList({ "Any File (*.*)", "JPEG (*.JPG)", "GIF (*.GIF)", "Bitmap (*.BMP)" }));
    QCOMPARE(entries.removeDuplicates(), 0);
}

void TestPictureChoice::theFilterOffersEveryOtherReadableFormat()
{
    const QString filter = pictureFileFilter();
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        if (format != "tga") // read wrong by Qt, so not read at all
            QVERIFY2(filter.contains(QStringLiteral("*.") + QString::fromLatin1(format).toUpper()),
                format.constData());
    }
    QVERIFY(!filter.contains(QStringLiteral("*.TGA")));
    for (const char* entry : { "PNG (*.PNG)", "HEIC (*.HEIC)", "HEIF (*.HEIF)", "AVIF (*.AVIF)" })
        QVERIFY2(filter.contains(QLatin1String(entry)), entry);
}

void TestPictureChoice::aSmallPictureIsEnlargedToFlatColours()
{
    QImage image(2, 2, QImage::Format_RGB32);
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
               white = qRgb(255, 255, 255);
    image.setPixel(0, 0, red);
    image.setPixel(1, 0, green);
    image.setPixel(0, 1, blue);
    image.setPixel(1, 1, white);

    // Four flat quarters, nothing blended between them.
    const QImage thumbnail = stretchPicture(image, QSize(207, 127));
    QCOMPARE(thumbnail.size(), QSize(207, 127));
    for (int y = 0; y < 127; ++y)
        for (int x = 0; x < 207; ++x)
            if (std::abs(2 * x - 206) > 2 && std::abs(2 * y - 126) > 2)
                QCOMPARE(thumbnail.pixel(x, y) & 0xFFFFFF,
                    (y < 63 ? (x < 103 ? red : green) : (x < 103 ? blue : white)) & 0xFFFFFF);
}

QTEST_GUILESS_MAIN(TestPictureChoice)
#include "tst_picturechoice.moc"
