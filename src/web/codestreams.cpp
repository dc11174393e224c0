#include "web/codestreams.h"

namespace mosaiq {

CodeStreams::CodeStreams(ChunkStream& html, ChunkStream* blog, const StyleFlags& style,
    const PageStream& page, ChunkStream::Output spans)
    : m_html(html)
    , m_blog(blog)
    , m_page(page)
    , m_spans(std::move(spans))
    , m_htmlTags(htmlCodeWrapping(style.bold, style.italic, style.centred))
    , m_blogTags(blogCodeWrapping(style.bold, style.italic, style.centred))
{
}

void CodeStreams::start()
{
    if (m_started)
        return;
    m_started = true;
    m_html.append(m_htmlTags.opening);
    m_htmlBytes += m_htmlTags.opening.size();
    if (m_blog)
        m_blog->append(m_blogTags.opening);
}

void CodeStreams::rowBuilt(const BuiltRow& row)
{
    start();
    // The page's line of this row was written just before; it ends with CR LF.
    if (m_htmlBytes >= ChunkStream::ChunkBytes && row.html == row.page) {
        m_html.flush();
        const double span[2]
            = { double(m_page.written() - row.page.size() - 2), double(row.html.size()) };
        m_spans(WebChannel::HtmlFromPage,
            std::string_view(reinterpret_cast<const char*>(span), sizeof span));
    } else {
        m_html.append(row.html);
        m_htmlBytes += row.html.size();
    }
    if (m_blog) {
        m_blogRow.clear();
        appendBlogCode(m_blogRow, row.html);
        m_blog->append(m_blogRow);
    }
}

void CodeStreams::finish()
{
    start();
    m_html.append(m_htmlTags.closing);
    m_html.flush();
    if (m_blog) {
        m_blog->append(m_blogTags.closing);
        m_blog->flush();
    }
}

} // namespace mosaiq
