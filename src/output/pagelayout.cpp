#include "output/pagelayout.h"

#include <algorithm>

namespace mosaiq {

PageLayout::PageLayout(std::shared_ptr<const PageRecord> record, const GlyphMetrics& metrics)
    : m_record(std::move(record))
    , m_metrics(metrics)
{
    const std::int64_t rows = m_record->rowCount();
    m_rows.resize(std::size_t(rows));
    m_marks.reserve(std::size_t(rows + m_record->cellCount() / MarkStep));
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::span<const PageRecord::Cell> cells = m_record->rowCells(r);
        Row& row = m_rows[std::size_t(r)];
        row.firstMark = std::uint32_t(m_marks.size());
        double x = 0;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i % MarkStep == 0)
                m_marks.push_back(x);
            x += cellAdvance(cells, i);
        }
        row.width = x;
        m_widest = std::max(m_widest, x);
    }
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
