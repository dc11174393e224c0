#include "cli/pagepicture.h"

#include "cli/outputfile.h"
#include "cli/pngfile.h"
#include "wording/pngwords.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace mosaiq {

namespace {

    // The lines painted at once: a strip of about this many bytes, however wide the page.
    constexpr std::int64_t StripBytes = std::int64_t(32) << 20;

} // namespace

PagePicture::PagePicture(std::shared_ptr<const PageRecord> record, int scale)
    : m_painter(std::move(record))
    , m_scale(scale)
{
    const PageLayout& layout = m_painter.layout();
    layout.measureRows(std::numeric_limits<std::int64_t>::max());
    // As the preview at 100 %: as wide as the widest row, centred rows centred on it.
    m_viewWidth = layout.pageWidth(0);
    m_width = std::int64_t(std::ceil(m_viewWidth * scale));
    m_height = std::int64_t(std::ceil(layout.pageHeight() * scale));
}

bool PagePicture::fits() const
{
    return m_width >= 1 && m_height >= 1 && m_width <= PngFile::LargestSide
        && m_height <= PngFile::LargestSide;
}

bool PagePicture::save(const std::string& path, std::string& error)
{
    if (!fits()) {
        error = cli::pngTooLarge(m_width, m_height, PngFile::LargestSide);
        return false;
    }
    OutputFile output(path);
    if (!output.open()) {
        error = output.failureText();
        return false;
    }
    PngFile png(output.file());
    const auto lines = int(std::clamp<std::int64_t>(StripBytes / (m_width * 4), 1, m_height));
    QImage strip(int(m_width), lines, QImage::Format_RGB32);
    if (strip.isNull())
        throw std::bad_alloc();
    strip.setDevicePixelRatio(m_scale);
    bool written = png.begin(m_width, m_height);
    // Each strip is painted from its top edge on, so glyphs that cross into it from the strip
    // above land on the same pixels as in one whole image.
    for (std::int64_t top = 0; written && top < m_height; top += lines) {
        m_painter.paintText(strip, QPointF(0, double(top) / m_scale), 1.0, m_viewWidth);
        written = png.writeLines(strip.constBits(), strip.bytesPerLine(),
            int(std::min<std::int64_t>(lines, m_height - top)));
    }
    if (!written || !png.finish()) {
        error = output.failureText(
            output.file().failed() ? output.file().errorText() : std::string(cli::PngFailed));
        return false;
    }
    if (!output.commit()) {
        error = output.failureText();
        return false;
    }
    return true;
}

} // namespace mosaiq
