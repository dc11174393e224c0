// The page saved as a PNG (--png) is painted and packed a strip at a time on several threads:
// a page wide enough to take many strips, with glyphs leaning across their borders, reads back
// through libpng as one whole painting of it, and whatever the threads (which end the picture
// with strips of their own sizes, five with single shares alone), the file holds the same lines,
// filtered the same way.
#include "convert/htmldocument.h"
#include "output/painting/pagepicture.h"
#include "support/pnglines.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <png.h>

#include <array>
#include <cmath>
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

// The first line where two pictures of one size differ, or -1.
int firstLineApart(const QImage& a, const QImage& b)
{
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), std::size_t(a.width()) * 4) != 0)
            return y;
    }
    return -1;
}

// Writes picture to path; false when it cannot.
bool writePicture(PagePicture&& picture, const QString& path, unsigned threads)
{
    PageFile file;
    std::string error;
    return file.open(path.toStdString()) && picture.write(file, error, threads) && file.close();
}

std::string pngLinesOf(const QString& path)
{
    QFile saved(path);
    if (!saved.open(QIODevice::ReadOnly))
        return {};
    return testsupport::pngLines(saved.readAll().toStdString());
}

} // namespace

class TestPagePicture : public QObject {
    Q_OBJECT
private slots:
    void stripsOnThreadsMakeTheWholePainting_data();
    void stripsOnThreadsMakeTheWholePainting();
    void shapesPaintEachCellsTwoColours();
    void shapesInStripsMakeTheWholePainting();
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
        if (const int y = firstLineApart(read, whole); y >= 0)
            QFAIL(qPrintable(QStringLiteral("line %1 differs, %2 thread(s)").arg(y).arg(threads)));
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

// A page of shapes: each cell's background fills it to the next cell's edge, and its glyph is
// drawn in its ink (blocks exactly over their part of the cell, letters in the font, braille
// within the cell), a row of full blocks leaving no line or column of the page's background.
void TestPagePicture::shapesPaintEachCellsTwoColours()
{
    const std::u32string text = U"\u2588\u2580\u258C A\u28FF\u2588\u2588\u2588";
    const ColourValue page = makeColour(0, 0, 0);
    const std::array<ColourValue, 3> grounds
        = { makeColour(200, 30, 40), makeColour(10, 220, 30), makeColour(20, 40, 250) };
    const ColourValue ink = makeColour(250, 250, 0);
    auto record = std::make_shared<PageRecord>(page, StyleFlags {});
    for (int row = 0; row < 3; ++row) {
        std::vector<ColourValue> colours(text.size(), ink), backgrounds;
        std::vector<Glyph> glyphs;
        for (std::size_t i = 0; i < text.size(); ++i) {
            glyphs.push_back(glyphFor(text[i]));
            backgrounds.push_back(grounds[(i + std::size_t(row)) % grounds.size()]);
        }
        BuiltRow built { row + 1, "", "", CellMode::Letter, colours, glyphs, {} };
        built.backgrounds = backgrounds;
        record->rowBuilt(built);
    }
    record->setComplete();
    QVERIFY(record->shaped());

    for (const int scale : { 1, 2 }) {
        QTemporaryDir folder;
        const QString one = folder.filePath("1.png"), two = folder.filePath("2.png");
        QVERIFY(writePicture(PagePicture(record, scale), one, 1));
        QVERIFY(writePicture(PagePicture(record, scale), two, 2));
        QVERIFY(!pngLinesOf(one).empty());
        QCOMPARE(pngLinesOf(two), pngLinesOf(one));
        const QImage picture = readPng(one);
        // The page's cells, as its header sizes them, rounded to whole pixels.
        const double cell = html::ShapesFontPixels * html::ShapesCellEms * scale;
        const double line = html::ShapesFontPixels * html::ShapesLineEms * scale;
        const double margin = 8.0 * scale;
        QCOMPARE(picture.width(), int(std::ceil(2 * margin + double(text.size()) * cell)));
        QCOMPARE(picture.height(), int(std::ceil(2 * margin + 4 * line)));
        auto at = [](double x) { return int(std::lround(x)); };
        auto colourAt = [&](int x, int y) {
            const QRgb p = picture.pixel(x, y);
            return makeColour(qRed(p), qGreen(p), qBlue(p));
        };
        QCOMPARE(colourAt(0, 0), page);
        for (int row = 0; row < 3; ++row) {
            const int top = at(margin + row * line), bottom = at(margin + (row + 1) * line);
            for (std::size_t i = 0; i < text.size(); ++i) {
                const int left = at(margin + double(i) * cell);
                const int right = at(margin + double(i + 1) * cell);
                const ColourValue ground = grounds[(i + std::size_t(row)) % grounds.size()];
                const auto where = qPrintable(
                    QStringLiteral("scale %1, row %2, cell %3").arg(scale).arg(row).arg(i));
                switch (text[i]) {
                case U'\u2588': // the full block: every pixel of the cell
                    for (int y = top; y < bottom; ++y)
                        for (int x = left; x < right; ++x)
                            QVERIFY2(colourAt(x, y) == ink, where);
                    break;
                case U'\u2580': // the upper half
                    QVERIFY2(colourAt(left, top) == ink, where);
                    QVERIFY2(colourAt(right - 1, top) == ink, where);
                    QVERIFY2(colourAt(left, bottom - 1) == ground, where);
                    QVERIFY2(colourAt(right - 1, bottom - 1) == ground, where);
                    break;
                case U'\u258C': // the left half
                    QVERIFY2(colourAt(left, bottom - 1) == ink, where);
                    QVERIFY2(colourAt(right - 1, top) == ground, where);
                    break;
                default: { // a space, a letter, braille: its background at the corners,
                    // some ink within
                    QVERIFY2(colourAt(left, top) == ground, where);
                    QVERIFY2(colourAt(right - 1, top) == ground, where);
                    bool inked = false;
                    for (int y = top; y < bottom; ++y)
                        for (int x = left; x < right; ++x)
                            inked = inked || colourAt(x, y) != ground;
                    QVERIFY2(inked == (text[i] != U' '), where);
                }
                }
            }
        }
    }
}

// A page of shapes wide enough for many strips, with glyphs that reach out of their cells: the
// strips read back as one whole painting of it.
void TestPagePicture::shapesInStripsMakeTheWholePainting()
{
    const std::u32string text = U"gj_|W\u2584\u2590\u2597\u28B5\u00A0Q";
    auto record = std::make_shared<PageRecord>(makeColour(30, 60, 90), StyleFlags {});
    for (int row = 0; row < 40; ++row) {
        std::vector<ColourValue> colours, backgrounds;
        std::vector<Glyph> glyphs;
        for (int i = 0; i < 2600; ++i) {
            const auto n = unsigned(row * 7919 + i * 104729);
            colours.push_back(makeColour(int(n % 256), int(n / 256 % 256), int(n / 65536 % 256)));
            backgrounds.push_back(makeColour(int(n / 7 % 256), int(n / 3 % 256), int(n % 97)));
            glyphs.push_back(glyphFor(text[std::size_t(i + row) % text.size()]));
        }
        BuiltRow built { row + 1, "", "", CellMode::Letter, colours, glyphs, {} };
        built.backgrounds = backgrounds;
        record->rowBuilt(built);
    }
    record->setComplete();
    ShapesPainter painter(record, 1);
    QImage whole(int(painter.width()), int(painter.height()), QImage::Format_RGB32);
    whole.fill(qRgb(30, 60, 90));
    std::vector<char> inked;
    painter.paint(whole, 0, inked);
    QTemporaryDir folder;
    const QString path = folder.filePath("shapes.png");
    QVERIFY(writePicture(PagePicture(record, 1), path, 3));
    const QImage read = readPng(path);
    QCOMPARE(read.size(), whole.size());
    if (const int y = firstLineApart(read, whole); y >= 0)
        QFAIL(qPrintable(QStringLiteral("line %1 differs").arg(y)));
}

QTEST_MAIN(TestPagePicture)
#include "tst_pagepicture.moc"
