// What the picture dialog offers and what a chosen picture gives the window.
#include "image/picturechoice.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

using namespace mosaiq;

class TestPictureChoice : public QObject {
    Q_OBJECT
private slots:
    void theFilterListsAnyFileFirstThenTheClassicFormats();
    void theFilterOffersEveryOtherReadableFormat();
    void aPictureGivesItsSizeAndAThumbnail();
    void aSmallPictureIsEnlargedToFlatColours();
    void aFailureNamesTheFileAndTheReason();
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

void TestPictureChoice::aPictureGivesItsSizeAndAThumbnail()
{
    QTemporaryDir dir;
    QImage image(321, 17, QImage::Format_ARGB32);
    image.fill(qRgba(255, 0, 0, 0));
    const QString path = dir.filePath(QStringLiteral("clear.png"));
    QVERIFY(image.save(path));

    const PictureChoice choice = choosePicture(path, QSize(207, 127));
    QVERIFY(choice.loaded());
    QCOMPARE(choice.columns, QStringLiteral("321"));
    QCOMPARE(choice.rows, QStringLiteral("17"));
    QCOMPARE(choice.picture.image.size(), QSize(321, 17));
    QCOMPARE(choice.thumbnail.size(), QSize(207, 127));
    // Transparent parts are shown as on a white page.
    QCOMPARE(choice.picture.image.pixel(0, 0), qRgb(255, 255, 255));
}

void TestPictureChoice::aSmallPictureIsEnlargedToFlatColours()
{
    QTemporaryDir dir;
    QImage image(2, 2, QImage::Format_RGB32);
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
               white = qRgb(255, 255, 255);
    image.setPixel(0, 0, red);
    image.setPixel(1, 0, green);
    image.setPixel(0, 1, blue);
    image.setPixel(1, 1, white);
    const QString path = dir.filePath(QStringLiteral("four.bmp"));
    QVERIFY(image.save(path));

    // Four flat quarters, nothing blended between them.
    const QImage thumbnail = choosePicture(path, QSize(207, 127)).thumbnail;
    QCOMPARE(thumbnail.size(), QSize(207, 127));
    for (int y = 0; y < 127; ++y)
        for (int x = 0; x < 207; ++x)
            if (std::abs(2 * x - 206) > 2 && std::abs(2 * y - 126) > 2)
                QCOMPARE(thumbnail.pixel(x, y) & 0xFFFFFF,
                    (y < 63 ? (x < 103 ? red : green) : (x < 103 ? blue : white)) & 0xFFFFFF);
}

void TestPictureChoice::aFailureNamesTheFileAndTheReason()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("words.gif"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture at all");
    file.close();

    const PictureChoice choice = choosePicture(path, QSize(10, 10));
    QVERIFY(!choice.loaded());
    QVERIFY(choice.message.contains(QDir::toNativeSeparators(path)));
    QVERIFY(choice.message.endsWith(pictureErrorText(choice.picture)));
    QVERIFY(choice.columns.isEmpty() && choice.thumbnail.isNull());
}

QTEST_GUILESS_MAIN(TestPictureChoice)
#include "tst_picturechoice.moc"
