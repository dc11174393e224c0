#include "web/codestreams.h"

namespace mosaiq {

CodeStreams::CodeStreams(ChunkStream* html, ChunkStream* blog, const StyleFlags& style)
    : m_html(html)
    , m_blog(blog)
    , m_htmlTags(htmlCodeWrapping(style.bold, style.italic, style.centred))
    , m_blogTags(blogCodeWrapping(style.bold, style.italic, style.centred))
{
}

void CodeStreams::open()
{
    if (m_started)
        return;
    m_started = true;
    if (m_html)
        m_html->append(m_htmlTags.opening);
    if (m_blog)
        m_blog->append(m_blogTags.opening);
}

void CodeStreams::rowBuilt(const BuiltRow& row)
{
    open();
    if (m_html)
        m_html->append(row.html);
    if (m_blog) {
        setBlogCodeOfRow(m_blogRow, row);
        m_blog->append(m_blogRow);
    }
}

void CodeStreams::finish()
{
    open();
    if (m_html) {
        m_html->append(m_htmlTags.closing);
        m_html->flush();
    }
    if (m_blog) {
        m_blog->append(m_blogTags.closing);
        m_blog->flush();
    }
}

} // namespace mosaiq
