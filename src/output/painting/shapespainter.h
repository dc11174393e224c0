#pragma once

#include "output/painting/pagefont.h"
#include "output/preview/pagerecord.h"

#include <QImage>
#include <QRgb>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace mosaiq {

// Paints a page of cells chosen by shape (PageRecord::shaped) as the page shows it: cells of the
// size its header gives them (html::ShapesCellEms by html::ShapesLineEms), their edges on whole
// pixels so that they tile without a gap, each its background then its glyph in its ink, in
// DejaVu Sans Mono, the font the shapes were matched in. The block elements and sextants are
// drawn from their definitions and the braille from the shapes' table (glyphShapes) within the
// cell, whatever glyph a font would give them: a font may lack them, and its braille is wider
// than the cell or hinted off its edges. Several threads may paint parts of one page at once.
class ShapesPainter {
public:
    // scale: device pixels per CSS pixel.
    ShapesPainter(std::shared_ptr<const PageRecord> record, int scale);

    // The page's size in device pixels: the widest row and every line, with the body's margins.
    std::int64_t width() const { return m_width; }
    std::int64_t height() const { return m_height; }

    // Paints the page's lines [top, top + target.height()) into target (Format_RGB32), only the
    // lines that some cell covers, flagged in inked: the others stand for the background.
    // Its glyphs are made once, by the first call; later calls change nothing in the painter.
    void paint(QImage& target, std::int64_t top, std::vector<char>& inked);
    // Makes every glyph of the page ahead, after which threads may paint side by side.
    void prepare();

private:
    // The coverage of a cell of width x height pixels by the glyph of byte b, drawn from its
    // definition; a null mask for a glyph the font draws.
    const PageFont::Mask* cellMask(std::uint8_t b, int width, int height) const;

    std::shared_ptr<const PageRecord> m_record;
    PageFont m_font;
    int m_scale;
    double m_cellWidth; // device pixels
    double m_lineHeight;
    double m_margin;
    double m_ascent;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
    bool m_prepared = false;
    // Whether byte b's glyph is drawn in its cell rather than by the font.
    std::array<bool, 256> m_drawn {};
    // By byte, then the cell's width and height, each the smaller or the larger of the two
    // that whole pixels make of the cell.
    std::vector<PageFont::Mask> m_cellMasks;
};

} // namespace mosaiq
