#include "output/files/poststream.h"

namespace mosaiq {

PostStream::PostStream(
    std::string path, std::string opening, std::string closing, std::size_t limit, LimitUnit unit)
    : m_path(std::move(path))
    , m_opening(std::move(opening))
    , m_closing(std::move(closing))
    , m_limit(limit)
    , m_unit(unit)
    , m_tags(sizeIn(m_opening, unit) + sizeIn(m_closing, unit))
    , m_partSize(m_tags)
{
}

std::string PostStream::partPath(std::size_t number) const
{
    return m_path + "." + std::to_string(number);
}

bool PostStream::addRow(std::string_view row)
{
    if (m_rowTooLong || failed())
        return false;
    ++m_rows;
    const std::size_t rowSize = sizeIn(row, m_unit);
    if (m_tags + rowSize > m_limit) {
        m_rowTooLong = m_rows;
        return false;
    }
    if (m_partSize + rowSize > m_limit) {
        if (!closePart())
            return false;
        m_part.clear();
        m_partSize = m_tags;
    }
    m_part += row;
    m_partSize += rowSize;
    return true;
}

// Each post goes to its file whole and the file is closed at once: a code of millions of rows
// makes tens of thousands of posts, more than a process may hold open.
bool PostStream::closePart()
{
    auto output = std::make_unique<OutputFile>(partPath(m_parts.size() + 1));
    const bool written = output->open() && output->file().write(m_opening)
        && output->file().write(m_part) && output->file().write(m_closing)
        && output->file().close();
    if (!written) {
        m_failure = output->failureText();
        return false;
    }
    m_parts.push_back(std::move(output));
    return true;
}

bool PostStream::finish()
{
    if (m_rowTooLong || failed())
        return false;
    // A code that never filled a post needs no cutting.
    return m_parts.empty() || closePart();
}

bool PostStream::commit()
{
    for (const auto& part : m_parts) {
        if (!part->commit()) {
            m_failure = part->failureText();
            return false;
        }
    }
    return true;
}

} // namespace mosaiq
