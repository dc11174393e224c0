#include "cli/pagepicture.h"

#include "cli/outputfile.h"
#include "cli/pngfile.h"
#include "wording/pngwords.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <thread>

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
    if (!write(output.file(), error)) {
        error = output.failureText(error);
        return false;
    }
    if (!output.commit()) {
        error = output.failureText();
        return false;
    }
    return true;
}

bool PagePicture::write(PageFile& file, std::string& error, unsigned threads, bool (*stop)())
{
    PngFile png(file, threads);
    const auto lines = int(std::clamp<std::int64_t>(StripBytes / (m_width * 4), 1, m_height));
    // Two strips: one is painted while the other is packed.
    QImage strips[2] = { QImage(int(m_width), lines, QImage::Format_RGB32),
        QImage(int(m_width), lines, QImage::Format_RGB32) };
    for (QImage& strip : strips) {
        if (strip.isNull())
            throw std::bad_alloc();
        strip.setDevicePixelRatio(m_scale);
    }
    bool written = png.begin(m_width, m_height);
    std::thread packing;
    // Joined on every way out, an exception of the painting's included.
    struct Joiner {
        std::thread& thread;
        ~Joiner()
        {
            if (thread.joinable())
                thread.join();
        }
    } joiner { packing };
    bool outOfMemory = false;
    auto packed = [&] {
        if (packing.joinable())
            packing.join();
        return written;
    };
    int next = 0;
    // Each strip is painted from its top edge on, so glyphs that cross into it from the strip
    // above land on the same pixels as in one whole image.
    for (std::int64_t top = 0; top < m_height; top += lines) {
        QImage& strip = strips[next];
        next = 1 - next;
        if (stop && stop()) {
            packed();
            return false;
        }
        m_painter.paintText(strip, QPointF(0, double(top) / m_scale), 1.0, m_viewWidth);
        if (!packed())
            break;
        const int count = int(std::min<std::int64_t>(lines, m_height - top));
        packing = std::thread([&, &strip = strip, count] {
            try {
                written = png.writeLines(strip.constBits(), strip.bytesPerLine(), count);
            } catch (const std::exception&) {
                // No thread to be had, say: told below as a shortage of memory.
                written = false;
                outOfMemory = true;
            }
        });
    }
    const bool allPacked = packed();
    if (outOfMemory || png.outOfMemory())
        throw std::bad_alloc();
    if (!allPacked || !png.finish()) {
        error = file.failed() ? file.errorText() : std::string(cli::PngFailed);
        return false;
    }
    return true;
}

} // namespace mosaiq
