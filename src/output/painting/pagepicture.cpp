#include "output/painting/pagepicture.h"

#include "output/files/outputfile.h"
#include "output/png/pngfile.h"
#include "wording/pngwords.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace mosaiq {

namespace {

    // The shares of the PNG a thread paints at once: enough lines that the rows of text that
    // lean into a strip from above and below add little to its painting.
    constexpr int SharesPerStrip = 2;

} // namespace

PagePicture::PagePicture(std::shared_ptr<const PageRecord> record, int scale)
    : m_painter(std::move(record))
    , m_scale(scale)
{
    if (m_painter.record().shaped()) {
        m_shapes.emplace(m_painter.shared(), scale);
        m_width = m_shapes->width();
        m_height = m_shapes->height();
        return;
    }
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
    PngFile png(file, 1);
    if (!png.begin(m_width, m_height)) {
        error = file.failed() ? file.errorText() : std::string(cli::PngFailed);
        return false;
    }
    // The glyphs are made here, once: the threads below only read them.
    if (m_shapes)
        m_shapes->prepare();
    else
        m_painter.prepareText(m_scale);
    const int perShare = png.linesPerShare();
    const auto perStrip
        = int(std::min<std::int64_t>(std::int64_t(perShare) * SharesPerStrip, m_height));
    const unsigned wanted = threads ? threads : std::max(1u, std::thread::hardware_concurrency());
    // The last strips are a share each, so that the threads run out of work nearly together
    // rather than one packing a whole strip alone. Where the strips end changes no line: the
    // shares stay where they are.
    const std::int64_t shareCount = (m_height + perShare - 1) / perShare;
    const std::int64_t single = std::min(shareCount, 2 * std::int64_t(wanted));
    const std::int64_t paired = (shareCount - single + SharesPerStrip - 1) / SharesPerStrip;
    const std::int64_t strips = paired + single;
    auto stripTop = [&](std::int64_t strip) {
        const std::int64_t share = strip <= paired
            ? std::min(strip * SharesPerStrip, shareCount - single)
            : shareCount - single + (strip - paired);
        return std::min(share * perShare, m_height);
    };
    const auto workers = unsigned(std::clamp<std::int64_t>(wanted, 1, strips));
    // Strips painted or packed but not yet written, each in a slot of its own.
    const auto window = std::int64_t(2 * workers);
    std::vector<std::vector<PngFile::Share>> packed { std::size_t(window) };
    std::vector<char> ready(std::size_t(window), char(0));
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t next = 0, written = 0;
    bool writing = false, failed = false, stopped = false, outOfMemory = false;

    auto work = [&] {
        std::unique_lock lock(mutex, std::defer_lock);
        try {
            // A line more than a strip: the line above its first, which the filters read.
            QImage memory(int(m_width), perStrip + 1, QImage::Format_RGB32);
            if (memory.isNull())
                throw std::bad_alloc();
            std::vector<char> inked, shareInked;
            lock.lock();
            for (;;) {
                changed.wait(lock,
                    [&] { return failed || stopped || next >= strips || next < written + window; });
                if (failed || stopped || next >= strips)
                    break;
                const std::int64_t strip = next++;
                std::vector<PngFile::Share>& shares = packed[std::size_t(strip % window)];
                lock.unlock();
                if (stop && stop()) {
                    lock.lock();
                    stopped = true;
                    break;
                }
                const std::int64_t top = stripTop(strip);
                const std::int64_t end = stripTop(strip + 1);
                const std::int64_t paintTop = std::max<std::int64_t>(0, top - 1);
                // Only the strip's lines are painted, however tall the memory.
                QImage image(memory.bits(), int(m_width), int(end - paintTop),
                    memory.bytesPerLine(), QImage::Format_RGB32);
                image.setDevicePixelRatio(m_scale);
                // Painted from its top edge on, so that glyphs crossing into the strip from
                // the rows above land on the same pixels as in one whole picture; only the
                // lines that glyphs reach: the others, nearly half of a page of text, are the
                // background, packed without a look.
                if (m_shapes)
                    m_shapes->paint(image, paintTop, inked);
                else
                    m_painter.paintText(
                        image, QPointF(0, double(paintTop) / m_scale), 1.0, m_viewWidth, &inked);
                auto lineOf = [&](std::int64_t y) {
                    return image.constBits() + (y - paintTop) * image.bytesPerLine();
                };
                shares.resize(std::size_t((end - top + perShare - 1) / perShare));
                for (std::size_t i = 0; i < shares.size(); ++i) {
                    const std::int64_t begin = top + std::int64_t(i) * perShare;
                    const auto count = int(std::min<std::int64_t>(perShare, end - begin));
                    // The line above the first, then the share's own.
                    shareInked.assign(std::size_t(count) + 1, char(1));
                    for (int k = begin > 0 ? 0 : 1; k <= count; ++k)
                        shareInked[std::size_t(k)] = inked[std::size_t(begin - 1 + k - paintTop)];
                    png.pack(shares[i], lineOf(begin), image.bytesPerLine(), count,
                        begin > 0 ? lineOf(begin - 1) : nullptr, shareInked.data(),
                        m_painter.background());
                }
                lock.lock();
                ready[std::size_t(strip % window)] = 1;
                // The strips go into the file in their order, written by whichever thread
                // finds the next one ready while no other writes.
                while (!writing && !failed && written < strips
                    && ready[std::size_t(written % window)]) {
                    writing = true;
                    lock.unlock();
                    bool good = true;
                    for (const PngFile::Share& share : packed[std::size_t(written % window)])
                        good = good && png.writeShare(share);
                    lock.lock();
                    writing = false;
                    ready[std::size_t(written % window)] = 0;
                    ++written;
                    failed = failed || !good;
                    changed.notify_all();
                }
            }
        } catch (const std::exception&) {
            // Memory, or a thread, not to be had.
            if (!lock.owns_lock())
                lock.lock();
            failed = outOfMemory = true;
        }
        changed.notify_all();
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < workers; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::exception&) {
            break; // fewer threads, the same picture
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (outOfMemory)
        throw std::bad_alloc();
    if (stopped)
        return false;
    if (failed || written != strips || !png.finish()) {
        error = file.failed() ? file.errorText() : std::string(cli::PngFailed);
        return false;
    }
    return true;
}

} // namespace mosaiq
