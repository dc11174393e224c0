#include "output/codes/postfill.h"

namespace mosaiq {

PostFill::PostFill(
    PostSink& sink, std::string opening, std::string closing, std::size_t limit, LimitUnit unit)
    : m_sink(sink)
    , m_opening(std::move(opening))
    , m_closing(std::move(closing))
    , m_limit(limit)
    , m_unit(unit)
    , m_tags(sizeIn(m_opening, unit) + sizeIn(m_closing, unit))
    , m_partSize(m_tags)
{
}

bool PostFill::addRow(std::string_view row)
{
    if (m_rowTooLong || m_failed)
        return false;
    ++m_rows;
    const std::size_t rowSize = sizeIn(row, m_unit);
    if (m_tags + rowSize > m_limit) {
        m_rowTooLong = m_rows;
        return false;
    }
    if (m_partSize + rowSize > m_limit) {
        if (!handOn())
            return false;
        m_part.clear();
        m_partSize = m_tags;
    }
    m_part += row;
    m_partSize += rowSize;
    return true;
}

bool PostFill::handOn()
{
    if (!m_sink.post(m_opening, m_part, m_closing)) {
        m_failed = true;
        return false;
    }
    ++m_parts;
    return true;
}

bool PostFill::finish()
{
    if (m_rowTooLong || m_failed)
        return false;
    // A code that never filled a post needs no cutting.
    return m_parts == 0 || handOn();
}

} // namespace mosaiq
