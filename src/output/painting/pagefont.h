#pragma once

#include "output/preview/pagelayout.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>

#include <algorithm>
#include <array>

namespace mosaiq {

// The family the page asks for, Verdana, when the system has it; otherwise the system's
// sans-serif face, which the web engine is told to use too, so that both previews look alike
// and neither falls back to a serif face.
QString pageFamily();

// The page's font with its styles: its measures for the layout, and each glyph's coverage at a
// given size, made once per size and per byte, each byte standing for one character of the page
// (PageRecord::characters).
class PageFont {
public:
    // characters: what each byte stands for; by default the page's bytes as the web engine reads
    // them (the page declares no character set and is read as Windows-1252).
    PageFont(const QString& family, const StyleFlags& style,
        const std::array<char32_t, 256>& characters = windows1252Characters());

    // Advances, line measures and kerning at 100 %.
    GlyphMetrics metrics() const;

    // One glyph's coverage at the current size: 0-255 per pixel, and where its top left lies
    // from the pen on the baseline, in pixels.
    struct Mask {
        QImage coverage; // Format_Alpha8; null for a glyph without ink
        QPoint offset;
        // The coverage's own pixels and measures, which a page of millions of glyphs reads
        // without a call to Qt for each: null bits for a glyph without ink.
        const uchar* bits = nullptr;
        qsizetype stride = 0;
        int width = 0;
        int height = 0;
    };
    // The web engine puts each glyph's pen to a quarter of a pixel, not on whole pixels: a glyph
    // is drawn for each quarter, lest every few glyphs a gap or a crowding show where the
    // fractional advances add up to the next pixel.
    static constexpr int Phases = 4;
    // The glyph of byte b at pixelSize pixels to the em (10 x zoom x device pixel ratio), its pen
    // phase / Phases of a pixel right of the whole pixel the offset is taken from.
    const Mask& mask(std::uint8_t b, double pixelSize, int phase = 0)
    {
        const std::size_t index
            = std::size_t(b) * Phases + std::size_t(std::clamp(phase, 0, Phases - 1));
        return pixelSize == m_maskSize && m_made[index] ? m_masks[index]
                                                        : makeMask(b, pixelSize, phase);
    }

    // How much ink the glyph of byte b puts on the page at 100 %, in square pixels: its coverage
    // summed. From afar a letter cell looks like its ink spread over the cell.
    double inkArea(std::uint8_t b) const;

    const QFont& font() const { return m_font; }

private:
    const Mask& makeMask(std::uint8_t b, double pixelSize, int phase);
    // Whether the web engine draws byte b's character as a glyph of its own.
    bool drawn(std::uint8_t b) const;
    QString text(std::uint8_t b) const;

    QFont m_font;
    std::array<char32_t, 256> m_characters;
    double m_maskSize = 0;
    std::array<Mask, 256 * Phases> m_masks;
    std::array<bool, 256 * Phases> m_made {};
};

} // namespace mosaiq
