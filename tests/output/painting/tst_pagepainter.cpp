// The native preview's painting, offscreen into images at device pixel ratios 1 and 2: points
// are the square cells' colours pixel for pixel and the letter cells' ink over the page; text has
// each glyph's ink in its cell's colour, square cells solid, centred rows centred, and the page's
// background around them.
#include "output/painting/pagepainter.h"
#include "output/painting/paintedlines.h"

#include <QTest>

#include <cmath>
#include <memory>

using namespace mosaiq;

namespace {

const ColourValue Background = makeColour(0, 0, 0);
const std::vector<ColourValue> Inks { makeColour(255, 0, 0), makeColour(0, 255, 0),
    makeColour(0, 0, 255), makeColour(255, 255, 0), makeColour(0, 255, 255) };

QRgb rgb(ColourValue colour)
{
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// Rows of cells with the glyph text, coloured from Inks in turn.
std::shared_ptr<PageRecord> pageOf(
    const std::vector<std::pair<CellMode, std::string>>& rows, bool centred)
{
    auto record = std::make_shared<PageRecord>(Background, StyleFlags { false, false, centred });
    std::int64_t number = 0;
    for (const auto& [mode, text] : rows) {
        std::vector<ColourValue> colours;
        std::vector<Glyph> glyphs;
        for (std::size_t i = 0; i < text.size(); ++i) {
            colours.push_back(Inks[i % Inks.size()]);
            glyphs.push_back(glyphFor(char32_t(text[i])));
        }
        record->rowBuilt({ ++number, "", "", mode, colours, glyphs, {} });
    }
    return record;
}

// The first and last columns of image with anything but the background between lines top
// and bottom.
std::pair<int, int> inkAcross(const QImage& image, int top, int bottom)
{
    int first = image.width(), last = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != rgb(Background)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return { first, last };
}

} // namespace

class TestPagePainter : public QObject {
    Q_OBJECT

private slots:
    void pointsAreTheCellColoursPixelForPixel_data();
    void pointsAreTheCellColoursPixelForPixel();
    void textShowsEachCellInItsColour_data();
    void textShowsEachCellInItsColour();
    void gridsOfOneRowOrOneColumnPaintAnywhere_data();
    void gridsOfOneRowOrOneColumnPaintAnywhere();
    void glyphsSitToAQuarterOfAPixel();
    void pensRoundDownToTheIntegerBelow();
    void aPartCutAcrossItsGlyphsIsThatPartOfTheWhole();
    void linesLeftUnpaintedAreTheBackgroundAlone();
    void aLetterCellFromAfarIsItsInkOverTheBackground();
    void aCharacterThePageWritesAsAReferenceIsDrawnAsItself();
};

void TestPagePainter::pointsAreTheCellColoursPixelForPixel_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<bool>("centred");
    for (const double ratio : { 1.0, 2.0 })
        for (const bool centred : { false, true })
            QTest::addRow("ratio %g%s", ratio, centred ? ", centred" : "") << ratio << centred;
}

void TestPagePainter::pointsAreTheCellColoursPixelForPixel()
{
    QFETCH(double, ratio);
    QFETCH(bool, centred);
    const auto record = pageOf({ { CellMode::Square, "ABCDEFG" }, { CellMode::Square, "ABC" },
                                   { CellMode::Square, "" }, { CellMode::Square, "ABCDEF" } },
        centred);
    const PagePainter painter(record);
    const QImage image = painter.renderPoints(ratio);
    QCOMPARE(image.size(), QSize(int(7 * ratio), int(4 * ratio)));
    // Centred in the widest row's 7 points: 4 spare for "ABC", 2 on each side; 1 for "ABCDEF",
    // which goes to the right.
    const std::int64_t offsets[] = { 0, centred ? 2 : 0, 0, 0 };
    for (int y = 0; y < image.height(); ++y) {
        const auto cells = record->rowCells(int(y / ratio));
        const std::int64_t offset = offsets[int(y / ratio)];
        for (int x = 0; x < image.width(); ++x) {
            const std::int64_t column = std::int64_t(x / ratio) - offset;
            const QRgb expected = column >= 0 && column < std::int64_t(cells.size())
                ? rgb(PageRecord::colourOf(cells[std::size_t(column)]))
                : rgb(Background);
            QCOMPARE(image.pixel(x, y), expected);
        }
    }
    // Averaged by blocks of 2 x 2, cells missing from a row count as background.
    const QImage blocks = painter.cellImage(2);
    QCOMPARE(blocks.size(), QSize(4, 2));
    // Top left: red and green from the first row, the same from the second unless it is
    // centred away.
    QCOMPARE(blocks.pixel(0, 0), centred ? qRgb(64, 64, 0) : qRgb(128, 128, 0));
}

void TestPagePainter::textShowsEachCellInItsColour_data()
{
    pointsAreTheCellColoursPixelForPixel_data();
}

void TestPagePainter::textShowsEachCellInItsColour()
{
    QFETCH(double, ratio);
    QFETCH(bool, centred);
    const auto record
        = pageOf({ { CellMode::Letter, "HIHIH" }, { CellMode::Square, "HIHIH" } }, centred);
    PagePainter painter(record);
    const PageLayout& layout = painter.layout();
    constexpr double ViewWidth = 200;
    QImage image(int(ViewWidth * ratio), int(60 * ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    painter.paintText(image, QPointF(0, 0), 1.0, ViewWidth);
    const GlyphMetrics& metrics = layout.metrics();
    auto device = [ratio](double x) { return int(std::lround(x * ratio)); };

    for (std::int64_t row = 0; row < 2; ++row) {
        const double left = layout.rowLeft(row, ViewWidth);
        const int top = device(layout.lineTop(row) + metrics.lineGap / 2);
        const int bottom
            = device(layout.lineTop(row) + metrics.lineGap / 2 + metrics.ascent + metrics.descent);
        // Where the row's ink lies, found in the image alone: the body is 8 pixels in from
        // each side. A square row's ink is its cells, edge to edge; a letter row's starts and
        // ends with the side bearings of an "H".
        const auto [first, last] = inkAcross(image, top, bottom);
        const int bearing = row == 1 ? 0 : device(1.5);
        const int leftGap = first - device(8), rightGap = device(ViewWidth - 8) - 1 - last;
        if (centred) {
            QVERIFY2(leftGap > device(40), qPrintable(QString::number(leftGap)));
            QVERIFY2(std::abs(leftGap - rightGap) <= 1 + bearing,
                qPrintable(QStringLiteral("%1 left, %2 right").arg(leftGap).arg(rightGap)));
        } else {
            QVERIFY2(leftGap >= 0 && leftGap <= bearing, qPrintable(QString::number(leftGap)));
        }
        // Left of the row and right of it, only the background.
        for (int y = top; y < bottom; ++y) {
            QCOMPARE(image.pixel(device(left) - 2, y), rgb(Background));
            QCOMPARE(image.pixel(device(left + layout.rowWidth(row)) + 2, y), rgb(Background));
        }
        layout.forCells(row, 0, 1e9, [&](std::int64_t i, double cellLeft, double cellRight) {
            const QRgb ink = rgb(Inks[std::size_t(i) % Inks.size()]);
            // The most ink on one line of pixels: a stem between two pixels covers each partly.
            int strongest = 0;
            for (int y = top; y < bottom; ++y) {
                int across = 0;
                for (int x = device(left + cellLeft); x < device(left + cellRight); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    if (row == 1) {
                        QCOMPARE(pixel, ink); // a square cell is solid
                        continue;
                    }
                    // Over a black ground, a glyph's pixel is its colour, more or less covered.
                    const int cover = std::max({ qRed(pixel), qGreen(pixel), qBlue(pixel) });
                    across += cover;
                    for (int channel : { qRed(pixel) * 255 - qRed(ink) * cover,
                             qGreen(pixel) * 255 - qGreen(ink) * cover,
                             qBlue(pixel) * 255 - qBlue(ink) * cover })
                        QVERIFY2(std::abs(channel) <= 255, qPrintable(QString::number(pixel, 16)));
                }
                strongest = std::max(strongest, across);
            }
            if (row == 0)
                QVERIFY2(strongest >= 200, "each letter shows");
        });
    }
    // The whole page at twice the size.
    const QImage whole = painter.renderText(2);
    QCOMPARE(whole.size(),
        QSize(int(std::ceil(layout.pageWidth(0) * 2)), int(std::ceil(layout.pageHeight() * 2))));
}

void TestPagePainter::gridsOfOneRowOrOneColumnPaintAnywhere_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::newRow("1 x 100000") << 1 << 100000;
    QTest::newRow("100000 x 1") << 100000 << 1;
}

void TestPagePainter::gridsOfOneRowOrOneColumnPaintAnywhere()
{
    QFETCH(int, columns);
    QFETCH(int, rows);
    PagePainter painter(
        pageOf(std::vector(std::size_t(rows),
                   std::pair { CellMode::Square, std::string(std::size_t(columns), 'W') }),
            false));
    painter.layout().measureRows(std::int64_t(columns + 1) * rows);
    // The last cell, in view at the far end of the page.
    const QSizeF size = painter.textSize(1.0, 200);
    QImage image(200, 100, QImage::Format_RGB32);
    painter.paintText(image, QPointF(size.width() - 200, size.height() - 100), 1.0, 200);
    QCOMPARE(image.pixel(columns == 1 ? 10 : 190, 100 - 8 - 5),
        rgb(Inks[std::size_t(columns - 1) % Inks.size()]));
    // As points fitted to a pane: a pixel for 500 x 500 cells, their mean (a row's cells take
    // the five inks in turn).
    const QImage blocks = painter.cellImage(500);
    QCOMPARE(blocks.size(), QSize(std::max(1, columns / 500), std::max(1, rows / 500)));
    QCOMPARE(blocks.pixel(0, 0), columns == 1 ? qRgb(255, 0, 0) : qRgb(102, 153, 102));
}

// Glyphs whose pens were rounded to whole pixels showed a gap every few glyphs where the web
// engine shows none: each quarter of a pixel must move the ink by as much.
void TestPagePainter::glyphsSitToAQuarterOfAPixel()
{
    PageFont font(pageFamily(), {});
    double previous = 0;
    for (int phase = 0; phase < PageFont::Phases; ++phase) {
        const PageFont::Mask& mask = font.mask('I', 10, phase);
        double ink = 0, moment = 0;
        for (int y = 0; y < mask.coverage.height(); ++y)
            for (int x = 0; x < mask.coverage.width(); ++x) {
                ink += mask.coverage.constScanLine(y)[x];
                moment += (x + mask.offset.x()) * double(mask.coverage.constScanLine(y)[x]);
            }
        QVERIFY(ink > 0);
        const double centre = moment / ink;
        if (phase > 0)
            QVERIFY2(std::abs(centre - previous - 1.0 / PageFont::Phases) < 0.1,
                qPrintable(
                    QStringLiteral("phase %1: %2 after %3").arg(phase).arg(centre).arg(previous)));
        previous = centre;
    }
}

// A pen left of the image, a fraction of a pixel into the negatives, is rounded down: rounded
// toward zero, a glyph cut by the left edge moved a quarter to the right.
void TestPagePainter::pensRoundDownToTheIntegerBelow()
{
    const double values[] = { 0.0, -0.0, 0.25, 0.999999, 1.0, -0.25, -0.5, -1.0, -1.0000001, -2.75,
        7.5, 4e9 + 0.5, -4e9 - 0.5, -4e9 + 0.25 };
    for (const double value : values)
        QVERIFY2(painting::floorOf(value) == std::int64_t(std::floor(value)),
            qPrintable(QString::number(value, 'g', 17)));
}

// The preview paints the part of the page in view: glyphs cut by its left and top edges, at
// every offset from the eight pixels the painter takes at once, are the whole page's.
void TestPagePainter::aPartCutAcrossItsGlyphsIsThatPartOfTheWhole()
{
    PagePainter painter(
        pageOf(std::vector(3, std::pair { CellMode::Letter, std::string("WgjfQ@mWgjfQ@mWgjfQ@m") }),
            false));
    const QImage whole = painter.renderText(1.0);
    QVERIFY(!whole.isNull());
    const double viewWidth = painter.layout().pageWidth(0);
    for (int left = 1; left <= 17; ++left) {
        QImage part(40, 20, QImage::Format_RGB32);
        painter.paintText(part, QPointF(left, 9), 1.0, viewWidth);
        for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < part.width(); ++x)
                if (part.pixel(x, y) != whole.pixel(left + x, 9 + y))
                    QFAIL(qPrintable(
                        QStringLiteral("from %1: pixel %2, %3").arg(left).arg(x).arg(y)));
    }
}

// mosaiq-cli's PNG skips the lines that no glyph reaches: each line the painter leaves alone
// is the background in the whole painting, and each it paints is the whole painting's line.
void TestPagePainter::linesLeftUnpaintedAreTheBackgroundAlone()
{
    PagePainter painter(pageOf({ { CellMode::Letter, "WgjfQ@m" }, { CellMode::Letter, "..,,.." },
                                   { CellMode::Square, "HIH" }, { CellMode::Letter, "Tyj" } },
        false));
    const QImage whole = painter.renderText(1.0);
    QVERIFY(!whole.isNull());
    const QRgb marker = qRgb(1, 2, 3);
    QImage image(whole.size(), QImage::Format_RGB32);
    image.fill(marker);
    std::vector<char> inked;
    painter.paintText(image, QPointF(0, 0), 1.0, painter.layout().pageWidth(0), &inked);
    QCOMPARE(inked.size(), std::size_t(image.height()));
    int left = 0;
    for (int y = 0; y < image.height(); ++y) {
        left += !inked[std::size_t(y)];
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != (inked[std::size_t(y)] ? whole.pixel(x, y) : marker)
                || (!inked[std::size_t(y)] && whole.pixel(x, y) != rgb(Background)))
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
        }
    }
    // The margins and the gaps between rows, at least.
    QVERIFY(left > 10);
}

// At "fit", 'o's on black looked like the bright photo: a letter cell seen from afar is mostly
// background.
void TestPagePainter::aLetterCellFromAfarIsItsInkOverTheBackground()
{
    const ColourValue white = makeColour(255, 255, 255);
    auto record = std::make_shared<PageRecord>(Background, StyleFlags {});
    for (const CellMode mode : { CellMode::Letter, CellMode::Square, CellMode::Letter })
        record->rowBuilt({ 1, "", "", mode, std::vector<ColourValue>(8, white),
            std::vector<Glyph>(8, glyphFor(U'W')), {} });
    PagePainter painter(record);
    const int grey = qRed(painter.cellImage(1).pixel(0, 0));
    QVERIFY2(grey > 10 && grey < 128, qPrintable(QString::number(grey)));
    QCOMPARE(painter.renderPoints(1).pixel(0, 2), qRgb(grey, grey, grey));
    QCOMPARE(painter.renderPoints(1).pixel(0, 1), qRgb(255, 255, 255));
    // Letters and squares mixed in one block.
    QVERIFY(std::abs(qGreen(painter.cellImage(2).pixel(0, 0)) - (grey + 255) / 2.0) <= 1);

    // The text of the first row, painted large, has about as much light over its line.
    const PageLayout& layout = painter.layout();
    layout.measureRows(100);
    const double scale = 4;
    const QImage text = painter.renderText(scale);
    const double top = layout.lineTop(0), left = layout.rowLeft(0, layout.pageWidth(0));
    double light = 0;
    int pixels = 0;
    for (int y = int(top * scale); y < int((top + layout.lineHeight()) * scale); ++y)
        for (int x = int(left * scale); x < int((left + layout.rowWidth(0)) * scale); ++x, ++pixels)
            light += qRed(text.pixel(x, y));
    const double drawn = light / pixels;
    QVERIFY2(std::abs(drawn - grey) < 0.25 * drawn,
        qPrintable(QStringLiteral("%1 from afar, %2 drawn").arg(grey).arg(drawn)));
}

// The page writes "♥" as "&#9829;", which the web engine shows as the heart: so must this
// preview, not a "?" nor the control character whose byte the record lent it.
void TestPagePainter::aCharacterThePageWritesAsAReferenceIsDrawnAsItself()
{
    auto paint = [](char32_t c) {
        auto record = std::make_shared<PageRecord>(Background, StyleFlags {});
        record->rowBuilt(
            { 1, "", "", CellMode::Letter, Inks, std::vector<Glyph>(5, glyphFor(c)), {} });
        PagePainter painter(record);
        return painter.renderText(2);
    };
    const QImage heart = paint(U'♥'), question = paint(U'?'), control = paint(U'\x01');
    QVERIFY(heart != question);
    QVERIFY(heart != control);
    QVERIFY(question != control);
}

QTEST_MAIN(TestPagePainter)
#include "tst_pagepainter.moc"
