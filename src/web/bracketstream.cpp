#include "web/bracketstream.h"

namespace mosaiq {

BracketStream::BracketStream(const ForumDialect& dialect, ChunkStream& output,
    const StyleFlags& style, bool keepForPosts, std::int64_t rowCount)
    : m_dialect(dialect)
    , m_output(output)
    , m_style(style)
    , m_keep(keepForPosts)
{
    // A streamed code's pieces reserve nothing: a row count tells BracketCode to reserve the
    // whole code at the first row.
    m_code.emplace(dialect, keepForPosts ? rowCount : 0);
}

void BracketStream::rowBuilt(const BuiltRow& row)
{
    if (!m_started && !m_keep)
        m_output.append(m_code->openingTags(m_style));
    m_started = true;
    m_code->rowBuilt(row);
    if (!m_keep && m_code->rows().size() >= ChunkStream::ChunkBytes) {
        m_output.append(m_code->rows());
        m_code.emplace(m_dialect, 0);
    }
}

PostSplit BracketStream::finish(ChunkStream& posts)
{
    const std::string opening = m_code->openingTags(m_style);
    const std::string closing = m_code->closingTags(m_style);
    PostSplit split;
    if (m_keep) {
        const std::size_t size = sizeIn(opening, m_dialect.unit)
            + sizeIn(m_code->rows(), m_dialect.unit) + sizeIn(closing, m_dialect.unit);
        if (size > m_dialect.postLimit) {
            split = splitIntoPosts(m_code->rows(), m_code->rowEnds(), opening, closing,
                m_dialect.postLimit, m_dialect.unit);
            if (split.rowTooLong)
                return split;
        }
        m_output.append(opening);
    } else if (!m_started) {
        m_output.append(opening);
    }
    m_output.append(m_code->rows());
    m_output.append(closing);
    m_output.flush();
    m_code.emplace(m_dialect, 0);
    for (const std::string& part : split.parts) {
        posts.append(part);
        posts.flush();
    }
    return split;
}

} // namespace mosaiq
