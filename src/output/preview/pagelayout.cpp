#include "output/preview/pagelayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mosaiq {

PageLayout::PageLayout(std::shared_ptr<const PageRecord> record, const GlyphMetrics& metrics)
    : m_record(std::move(record))
    , m_metrics(metrics)
    , m_rows(std::size_t(m_record->rowCount()))
{
    if (m_metrics.pairKerning)
        m_kerning.assign(256 * 256, std::numeric_limits<float>::quiet_NaN());
}

double PageLayout::askKerning(std::uint8_t a, std::uint8_t b) const
{
    float& pair = m_kerning[std::size_t(a) * 256 + b];
    pair = float(m_metrics.pairKerning(a, b));
    return pair;
}

const PageLayout::Row& PageLayout::measured(std::int64_t row) const
{
    Row& entry = m_rows[std::size_t(row)];
    if (entry.width >= 0)
        return entry;
    const std::span<const PageRecord::Cell> cells = m_record->rowCells(row);
    entry.marks.reserve(cells.size() / MarkStep);
    double x = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0 && i % MarkStep == 0)
            entry.marks.push_back(x);
        x += cellAdvance(cells, i);
    }
    entry.width = x;
    m_widest = std::max(m_widest, x);
    return entry;
}

bool PageLayout::measureRows(std::int64_t cells) const
{
    std::int64_t done = 0;
    while (m_nextToMeasure < rowCount() && done < cells) {
        done += std::int64_t(m_record->rowCells(m_nextToMeasure).size()) + 1;
        measured(m_nextToMeasure++);
    }
    return allMeasured();
}

double PageLayout::pageWidth(double viewportWidth) const
{
    return std::max(viewportWidth, m_widest + 2 * Margin);
}

double PageLayout::pageHeight() const
{
    const std::int64_t lines = rowCount() + (m_record->complete() ? 1 : 0);
    return 2 * Margin + double(lines) * lineHeight();
}

double PageLayout::rowLeft(std::int64_t row, double viewportWidth) const
{
    if (!m_record->style().centred)
        return Margin;
    const double body = viewportWidth - 2 * Margin;
    const double width = rowWidth(row);
    return width < body ? Margin + (body - width) / 2 : Margin;
}

} // namespace mosaiq
