#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace mosaiq {

// The window's places and sizes are kept in twips for text of one size, the size its layout was
// made for. A desktop set for large text shows the window's text larger (more dots per inch for
// the same points); then every place and size grows by as much as the text did, so that the
// window is its usual layout, magnified, and no caption is cut. At the usual text size the
// factor is exactly 1 and every control keeps its place to the pixel.
class LayoutScale {
public:
    LayoutScale() = default;

    // shown: the window's font as this desktop shows it; designed: the same face at the pixel
    // size the layout was made for. The factor is how much wider or taller, whichever is more,
    // the shown text is; text smaller than designed keeps the usual layout (factor 1).
    LayoutScale(const QFont& shown, const QFont& designed);

    qreal factor() const { return m_factor; }

    // A control's place in its container, given in twips (15 make a pixel of the usual layout),
    // in pixels at this scale.
    QRect twips(int left, int top, int width, int height) const;
    QSize twips(int width, int height) const;

    // A length in pixels of the usual layout (a margin, a tab's height), at this scale.
    int pixels(int length) const;

private:
    qreal m_factor = 1.0;
};

} // namespace mosaiq
