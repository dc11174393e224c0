// The page saved as a PNG (--png) is painted and packed a strip at a time on several threads:
// a page wide enough to take many strips, with glyphs leaning across their borders, reads back
// through libpng as one whole painting of it, and whatever the threads (which end the picture
// with strips of their own sizes, five with single shares alone), the file holds the same lines,
// filtered the same way.
#include "output/painting/pagepicture.h"
#include "support/pnglines.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <png.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

// A page of rows cells long, alternately shortened by a third, in glyphs that reach out of
// their cells, each cell in a colour of its own.
std::shared_ptr<PageRecord> widePage(int rows, int cells, StyleFlags style, bool squareRows)
{
    auto record = std::make_shared<PageRecord>(makeColour(30, 60, 90), style);
    const std::u32string text = U"fjWg\u00C9/_|Qy";
    for (int row = 0; row < rows; ++row) {
        const int count = row % 2 ? cells : cells * 2 / 3;
        std::vector<ColourValue> colours;
        std::vector<Glyph> glyphs;
        for (int i = 0; i < count; ++i) {
            const auto n = unsigned(row * 7919 + i * 104729);
            colours.push_back(makeColour(int(n % 256), int(n / 256 % 256), int(n / 65536 % 256)));
            glyphs.push_back(glyphFor(text[std::size_t(i + row) % text.size()]));
        }
        const CellMode mode = squareRows && row % 3 == 2 ? CellMode::Square : CellMode::Letter;
        record->rowBuilt({ row + 1, "", "", mode, colours, glyphs, {} });
    }
    record->setComplete();
    return record;
}

// The picture as libpng reads it, in Format_RGB32; null when it cannot.
QImage readPng(const QString& path)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.toLocal8Bit().constData()))
        return {};
    image.format = PNG_FORMAT_BGRA;
    QImage pixels(int(image.width), int(image.height), QImage::Format_ARGB32);
    if (!png_image_finish_read(
            &image, nullptr, pixels.bits(), png_int_32(pixels.bytesPerLine()), nullptr))
        return {};
    return pixels.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestPagePicture : public QObject {
    Q_OBJECT
private slots:
    void stripsOnThreadsMakeTheWholePainting_data();
    void stripsOnThreadsMakeTheWholePainting();
};

void TestPagePicture::stripsOnThreadsMakeTheWholePainting_data()
{
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<bool>("squareRows");
    QTest::addColumn<int>("scale");
    QTest::newRow("letters") << false << false << false << false << 1;
    QTest::newRow("bold italic, centred") << true << true << true << false << 1;
    QTest::newRow("italic with square rows, twice as sharp") << false << true << true << true << 2;
}

void TestPagePicture::stripsOnThreadsMakeTheWholePainting()
{
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, centred);
    QFETCH(bool, squareRows);
    QFETCH(int, scale);
    // Some 20000 pixels wide: a strip is a few dozen lines, a row of text about a dozen.
    const auto record
        = widePage(22, 3000 / scale, StyleFlags { bold, italic, centred }, squareRows);
    const QImage whole = PagePainter(record).renderText(scale);
    QVERIFY(!whole.isNull());
    QVERIFY(whole.width() > 15000);
    QTemporaryDir folder;
    std::string first;
    for (const unsigned threads : { 1u, 2u, 3u, 5u }) {
        const QString path = folder.filePath(QString::number(threads) + ".png");
        PageFile file;
        QVERIFY(file.open(path.toStdString()));
        std::string error;
        QVERIFY2(PagePicture(record, scale).write(file, error, threads), error.c_str());
        QVERIFY(file.close());
        const QImage read = readPng(path);
        QCOMPARE(read.size(), whole.size());
        for (int y = 0; y < whole.height(); ++y) {
            if (std::memcmp(
                    read.constScanLine(y), whole.constScanLine(y), std::size_t(whole.width()) * 4)
                != 0)
                QFAIL(qPrintable(
                    QStringLiteral("line %1 differs, %2 thread(s)").arg(y).arg(threads)));
        }
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const std::string lines = testsupport::pngLines(saved.readAll().toStdString());
        QVERIFY(!lines.empty());
        if (threads == 1)
            first = lines;
        else
            QVERIFY2(lines == first, qPrintable(QStringLiteral("%1 threads").arg(threads)));
    }
}

QTEST_MAIN(TestPagePicture)
#include "tst_pagepicture.moc"
