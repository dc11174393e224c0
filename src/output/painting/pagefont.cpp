#include "output/painting/pagefont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace mosaiq {

namespace {

    // Measures are taken at the size of a font's design grid, where no hinting moves them, and
    // brought down to the page's 10 pixels.
    constexpr int DesignPixels = 2048;
    constexpr double PagePixels = 10.0; // 7.5 points at 96 pixels to the inch
    constexpr double ToPage = PagePixels / DesignPixels;

    // Whether the web engine draws character c, kept at byte b, as a glyph of its own.
    bool drawnCharacter(char32_t c, std::uint8_t b)
    {
        const QChar::Category category = QChar::category(c);
        return !isCollapsibleSpace(b) && category != QChar::Other_Control
            && category != QChar::Other_Format;
    }

    QFont styledFont(const QString& family, const StyleFlags& style)
    {
        QFont font(family);
        font.setStyleHint(QFont::SansSerif);
        font.setBold(style.bold);
        font.setItalic(style.italic);
        // Grey edges only: the glyphs are painted in many colours over coloured ground.
        font.setStyleStrategy(QFont::NoSubpixelAntialias);
        return font;
    }

} // namespace

QString pageFamily()
{
    const QString verdana = QStringLiteral("Verdana");
    if (QFontDatabase::hasFamily(verdana))
        return verdana;
    QFont sans(QStringLiteral("sans-serif"));
    sans.setStyleHint(QFont::SansSerif);
    return QFontInfo(sans).family();
}

PageFont::PageFont(
    const QString& family, const StyleFlags& style, const std::array<char32_t, 256>& characters)
    : m_font(styledFont(family, style))
    , m_characters(characters)
{
}

QString PageFont::text(std::uint8_t b) const
{
    return QString::fromUcs4(&m_characters[b], 1);
}

bool PageFont::drawn(std::uint8_t b) const
{
    return drawnCharacter(m_characters[b], b);
}

GlyphMetrics PageFont::metrics() const
{
    QFont design = m_font;
    design.setPixelSize(DesignPixels);
    design.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF measures(design);
    GlyphMetrics metrics;
    for (int b = 0; b < 256; ++b) {
        const auto byte = std::uint8_t(b);
        if (drawn(byte) || byte == ' ')
            metrics.advance[b] = measures.horizontalAdvance(text(byte)) * ToPage;
    }
    metrics.advance['\t'] = metrics.advance[' '];

    // The line holds the body's plain font as well as the styled one.
    QFont plain = design;
    plain.setBold(false);
    plain.setItalic(false);
    const QFontMetricsF plainMeasures(plain);
    metrics.ascent = int(std::lround(std::max(measures.ascent(), plainMeasures.ascent()) * ToPage));
    metrics.descent
        = int(std::lround(std::max(measures.descent(), plainMeasures.descent()) * ToPage));
    metrics.lineGap
        = int(std::lround(std::max(measures.leading(), plainMeasures.leading()) * ToPage));

    // Every cell is an element of its own, but the web engine shapes a line's text as one, so
    // neighbouring glyphs kern.
    // The metrics may outlive the font: they keep what they read of it.
    metrics.pairKerning = [measures, advance = metrics.advance, characters = m_characters](
                              std::uint8_t a, std::uint8_t b) {
        if (!drawnCharacter(characters[a], a) || !drawnCharacter(characters[b], b))
            return 0.0;
        const QString pair
            = QString::fromUcs4(&characters[a], 1) + QString::fromUcs4(&characters[b], 1);
        return measures.horizontalAdvance(pair) * ToPage - advance[a] - advance[b];
    };
    return metrics;
}

double PageFont::inkArea(std::uint8_t b) const
{
    if (!drawn(b))
        return 0;
    // Drawn at several times the page's size without hinting, which at 10 pixels would widen
    // or thin stems by whole pixels.
    constexpr int Scale = 4;
    constexpr int Em = int(PagePixels) * Scale;
    QImage canvas(4 * Em, 3 * Em, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QFont font = m_font;
    font.setPixelSize(Em);
    font.setHintingPreference(QFont::PreferNoHinting);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(Em, 2 * Em), text(b));
    }
    double ink = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x)
            ink += qAlpha(line[x]);
    }
    return ink / 255 / (Scale * Scale);
}

const PageFont::Mask& PageFont::makeMask(std::uint8_t b, double pixelSize, int phase)
{
    phase = std::clamp(phase, 0, Phases - 1);
    if (pixelSize != m_maskSize) {
        m_maskSize = pixelSize;
        m_made.fill(false);
        m_masks.fill({});
    }
    const std::size_t index = std::size_t(b) * Phases + std::size_t(phase);
    Mask& mask = m_masks[index];
    if (m_made[index])
        return mask;
    m_made[index] = true;
    if (!drawn(b) || pixelSize <= 0)
        return mask;

    // Room for an italic glyph leaning out of its cell on either side.
    const int em = int(std::ceil(pixelSize));
    const QPoint pen(em, 2 * em);
    QImage canvas(4 * em, 3 * em, QImage::Format_ARGB32_Premultiplied);
    canvas.setDotsPerMeterX(2835); // 72 dots to the inch: a point is a pixel
    canvas.setDotsPerMeterY(2835);
    canvas.fill(Qt::transparent);
    QFont font = m_font;
    font.setPointSizeF(pixelSize);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(pen.x() + double(phase) / Phases, pen.y()), text(b));
    }
    const QImage alpha = canvas.convertToFormat(QImage::Format_Alpha8);
    int left = alpha.width(), top = alpha.height(), right = -1, bottom = -1;
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar* line = alpha.constScanLine(y);
        for (int x = 0; x < alpha.width(); ++x) {
            if (line[x] != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right >= 0) {
        // A multiple of eight pixels wide, which the painting takes at once; what the glyph
        // leaves of them covers nothing.
        mask.coverage = alpha.copy(left, top, (right - left + 8) / 8 * 8, bottom - top + 1);
        mask.offset = QPoint(left, top) - pen;
        mask.bits = mask.coverage.constBits();
        mask.stride = mask.coverage.bytesPerLine();
        mask.width = mask.coverage.width();
        mask.height = mask.coverage.height();
    }
    return mask;
}

} // namespace mosaiq
