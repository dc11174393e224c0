// What the picture dialog offers and how the window shows a chosen picture.
#include "image/picturechoice.h"

#include <QImageReader>
#include <QTest>

using namespace mosaiq;

class TestPictureChoice : public QObject {
    Q_OBJECT
private slots:
    void theFilterListsAnyFileFirstThenTheClassicFormats();
    void theFilterOffersEveryOtherReadableFormat();
    void theThumbnailFillsItsBoxWhateverThePictureShape();
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

void TestPictureChoice::theThumbnailFillsItsBoxWhateverThePictureShape()
{
    QImage image(321, 17, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    const QImage thumbnail = pictureThumbnail(image, QSize(207, 127));
    QCOMPARE(thumbnail.size(), QSize(207, 127));
    QCOMPARE(thumbnail.pixel(206, 126), qRgb(255, 0, 0));
}

QTEST_GUILESS_MAIN(TestPictureChoice)
#include "tst_picturechoice.moc"
