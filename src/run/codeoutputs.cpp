#include "run/codeoutputs.h"

namespace mosaiq {

CodeOutputs::CodeOutputs(const Sinks& sinks, const ForumDialect& dialect, bool fromCells,
    const StyleFlags& style, ColourForms forms)
    : m_sinks(sinks)
    , m_dialect(dialect)
    , m_htmlTags(htmlCodeWrapping(style.bold, style.italic, style.centred))
{
    // A bracket code that is not written is not made either.
    if (!fromCells || !sinks.blog) {
        m_blogTags = blogCodeWrapping(style.bold, style.italic, style.centred);
        return;
    }
    // Only the row being written is kept: each goes to its sink at once.
    m_bracket.emplace(dialect, 0, false, forms);
    m_blogTags = { m_bracket->openingTags(style), m_bracket->closingTags(style) };
    if (m_sinks.posts && dialect.postLimit > 0 && !dialect.rowPerMessage)
        m_posts.emplace(*m_sinks.posts, m_blogTags.opening, m_blogTags.closing, dialect.postLimit,
            dialect.unit);
}

bool CodeOutputs::fail()
{
    m_failed = true;
    return false;
}

void CodeOutputs::open()
{
    if (m_started)
        return;
    m_started = true;
    if ((m_sinks.html && !m_sinks.html->append(m_htmlTags.opening))
        || (m_sinks.blog && !m_sinks.blog->append(m_blogTags.opening)))
        fail();
}

void CodeOutputs::rowBuilt(const BuiltRow& row)
{
    open();
    if (m_failed)
        return;
    if (m_sinks.html && !m_sinks.html->append(row.html)) {
        fail();
        return;
    }
    if (m_bracket) {
        m_bracket->rowBuilt(row);
        const std::string_view code = m_bracket->lastRow();
        m_blogBytes += code.size();
        if (m_sinks.blog && !m_sinks.blog->append(code))
            fail();
        // A row too long for a post is no failure of a sink: the run says so at its end.
        else if (m_posts && !m_posts->addRow(code) && m_posts->failed())
            fail();
        return;
    }
    if (!m_sinks.blog)
        return;
    std::size_t bytes = 0;
    if (char* out = m_sinks.blog->lend(mostBlogCodeBytes(row.html.size()))) {
        bytes = std::size_t(writeBlogCodeOfRow(out, row) - out);
        if (!m_sinks.blog->commitLent(bytes))
            fail();
    } else {
        setBlogCodeOfRow(m_blogRow, row);
        bytes = m_blogRow.size();
        if (!m_sinks.blog->append(m_blogRow))
            fail();
    }
    m_blogBytes += bytes;
}

bool CodeOutputs::finish()
{
    open();
    if (m_failed)
        return false;
    if ((m_sinks.html && !m_sinks.html->append(m_htmlTags.closing))
        || (m_sinks.blog && !m_sinks.blog->append(m_blogTags.closing)))
        return fail();
    if (m_posts && !m_posts->finish() && m_posts->failed())
        return fail();
    return true;
}

std::int64_t CodeOutputs::rowTooLong() const
{
    if (m_bracket && m_dialect.rowPerMessage)
        return m_bracket->firstRowPastLimit();
    return m_posts ? m_posts->rowTooLong() : 0;
}

} // namespace mosaiq
