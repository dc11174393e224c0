#pragma once

#include "output/painting/pagefont.h"
#include "output/preview/pagelayout.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <array>
#include <memory>
#include <vector>

namespace mosaiq {

// Paints a page from its record, as the web engine shows it, into an image: only the part
// asked for, so that the cost follows the image, not the page. Two ways: the text, laid out as
// the web engine lays it out (see PageLayout) at any zoom; or the cells as square points, each
// as the page shows it from afar, the page as a picture. The image's device pixel ratio sets how
// sharp: at 2, glyphs are drawn at twice the pixels. The native preview paints with it, and so can
// mosaiq-cli (on Qt's offscreen platform) to save a page as a picture.
class PagePainter {
public:
    explicit PagePainter(
        std::shared_ptr<const PageRecord> record, const QString& family = pageFamily());

    const PageRecord& record() const { return m_layout.record(); }
    std::shared_ptr<const PageRecord> shared() const { return m_layout.shared(); }
    const PageLayout& layout() const { return m_layout; }
    // The page's background as a colour to paint.
    QRgb background() const { return m_background; }

    // The page's size in view pixels at zoom (1 = 100 %), in a view viewWidth pixels wide.
    QSizeF textSize(double zoom, double viewWidth) const;

    // Paints the text view of the page at zoom, scrolled to scroll (view pixels), into the
    // whole of target (Format_RGB32); viewWidth is the width of the view in view pixels, which
    // the centred rows follow. With inked (one flag a line of target, set here), only the lines
    // that some glyph reaches are painted and flagged: the others, left as they were, stand for
    // lines of the background alone.
    void paintText(QImage& target, QPointF scroll, double zoom, double viewWidth,
        std::vector<char>* inked = nullptr);
    // Measures every row and makes every glyph of the page at scale device pixels per CSS pixel
    // (zoom x device pixel ratio) ahead: from then on, paintText at that scale changes nothing
    // in the painter, and several threads may paint parts of the page at once, each into an
    // image of its own.
    void prepareText(double scale);

    // The grid of points: as many columns as the widest row has cells, a row per page row.
    std::int64_t pointColumns() const { return record().widestRow(); }
    std::int64_t pointRows() const { return record().rowCount(); }
    // Paints the cells as squares pointsPerCell view pixels wide, the grid's top left at
    // origin (view pixels), into the whole of target (Format_RGB32): each device pixel takes
    // the colour of the cell under its centre as the page shows it from afar (see
    // distantColour). Rows shorter than the widest are centred on a centred page; what no cell
    // covers is the page's background.
    void paintPoints(QImage& target, QPointF origin, double pointsPerCell) const;
    // The cells as seen from afar, one pixel per block of factor x factor cells, averaged.
    QImage cellImage(int factor) const;
    QSize cellImageSize(int factor) const;
    // Fills lines [first, end) of image (cellImageSize(factor), Format_RGB32) as cellImage()
    // would: a large page is averaged a few lines at a time this way, between other work.
    void averageCells(QImage& image, int factor, int first, int end) const;

    // The page or its part region (CSS pixels at 100 %; the whole page when empty) as text, at
    // scale device pixels per CSS pixel; centred rows are centred on the widest row. A null
    // image when it would be larger than a QImage can be (a page of millions of cells at 100 %
    // is): such a page is painted region by region. Needs a QGuiApplication (fonts); the
    // offscreen platform will do.
    QImage renderText(double scale, const QRectF& region = {});
    // The page as points, scale device pixels per cell.
    QImage renderPoints(double scale) const;

    // A cell as the page shows it from afar: red, green and blue, each in 256ths of a level.
    // A square cell is its colour; a letter cell its ink over the background, as much
    // of it as the glyph covers of the cell (its advance by the line's height).
    std::array<std::uint32_t, 3> distantColour(PageRecord::Cell cell, bool square) const;

private:
    // The share of a letter cell that the glyph of byte b inks, in 256ths; made when first
    // asked, since a page uses few of the 256.
    std::uint32_t inkShare(std::uint8_t b) const;
    // Makes the shares of every byte the page holds, for loops that cannot stop to make one.
    void makeInkShares() const;

    // The first cell of row r in the grid of points.
    std::int64_t pointOffset(std::int64_t row) const;

    PageFont m_font;
    PageLayout m_layout;
    QRgb m_background;
    // Once prepareText made every glyph of a complete record: its scale, and how far the ink of
    // a row of text reaches above and below its baseline (device pixels, down positive), so
    // that the rows whose ink misses the image are passed over.
    double m_preparedScale = 0;
    int m_inkTop = 0;
    int m_inkBottom = 0;
    // Not the page's state, only what it costs to know: filled in as the averages need it.
    mutable std::array<std::int16_t, 256> m_inkShares;
};

} // namespace mosaiq
