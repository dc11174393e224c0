#include "app/layoutscale.h"

#include <QFontMetricsF>

#include <algorithm>

namespace mosaiq {

namespace {

    // Letters of both cases and the accents of the window's French captions, so that the width
    // measured is that of words rather than of one glyph's rounding.
    const QString Sample = QStringLiteral(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz \u00e9\u00e8\u00e0\u00e7 (/2) 0%");

} // namespace

LayoutScale::LayoutScale(const QFont& shown, const QFont& designed)
{
    const QFontMetricsF shownMetrics(shown);
    const QFontMetricsF designedMetrics(designed);
    const qreal designedWidth = designedMetrics.horizontalAdvance(Sample);
    const qreal designedHeight = designedMetrics.height();
    if (designedWidth <= 0 || designedHeight <= 0)
        return;
    const qreal wider = shownMetrics.horizontalAdvance(Sample) / designedWidth;
    const qreal taller = shownMetrics.height() / designedHeight;
    m_factor = std::max({ 1.0, wider, taller });
}

QRect LayoutScale::twips(int left, int top, int width, int height) const
{
    auto px = [this](int value) { return qRound(value * m_factor / 15.0); };
    return { px(left), px(top), px(width), px(height) };
}

QSize LayoutScale::twips(int width, int height) const
{
    return twips(0, 0, width, height).size();
}

int LayoutScale::pixels(int length) const
{
    return qRound(length * m_factor);
}

} // namespace mosaiq
