#include "output/codecollector.h"

#include "output/blogcode.h"

#include <algorithm>

namespace mosaiq {

namespace {

    constexpr double ReserveCap = 1.5e9;

    // The rows of code wrapped in tags: the opening ones go into the room in front, the closing
    // ones into the reserve behind.
    SharedCode wrapInRoom(std::string& code, const CodeWrapping& tags)
    {
        const std::size_t start = MostOpeningTagBytes - tags.opening.size();
        code.replace(start, tags.opening.size(), tags.opening);
        code += tags.closing;
        const std::size_t size = code.size() - start;
        auto buffer = std::make_shared<const std::string>(std::move(code));
        code = std::string(MostOpeningTagBytes, ' ');
        return SharedCode(std::move(buffer), start, size);
    }

} // namespace

CodeCollector::CodeCollector(std::int64_t rowCount, bool keepHtml, bool keepBlog)
    : m_rowCount(rowCount)
    , m_keepHtml(keepHtml)
    , m_keepBlog(keepBlog)
    , m_htmlRows(MostOpeningTagBytes, ' ')
    , m_blogCode(MostOpeningTagBytes, ' ')
{
}

void CodeCollector::makeRoom(std::string& code, std::size_t adding, const BuiltRow& row, bool blog)
{
    const std::size_t needed = code.size() + adding + MostClosingTagBytes;
    if (needed <= code.capacity())
        return;
    // Growing a code of hundreds of megabytes by doubling would copy it again and again and hold
    // two copies at the peak. The first row shows the size of all: ask for it at once. Should a
    // later row outgrow that, ask for what the rows so far foretell of the rest, and a little
    // more, rather than twice the code.
    double total = 0;
    if (row.number == 1) {
        const double html = double(row.html.size()) * double(m_rowCount);
        total = double(needed - adding)
            + (blog ? double(estimatedBlogCodeSize(std::size_t(std::min(html, ReserveCap))))
                    : html);
    } else {
        const double rowsLeft = double(std::max<std::int64_t>(m_rowCount - row.number, 0));
        const double rowBytes = double(code.size() - MostOpeningTagBytes) / double(row.number - 1);
        total = (double(needed) + rowsLeft * rowBytes) * 1.05;
    }
    // A strange estimate cannot fail the run: past the cap the code grows as a string does.
    if (total > ReserveCap)
        total = std::max(ReserveCap, 2.0 * double(code.capacity()));
    code.reserve(std::max(needed, std::size_t(total)));
}

void CodeCollector::rowBuilt(const BuiltRow& row)
{
    if (m_keepHtml) {
        makeRoom(m_htmlRows, row.html.size(), row, false);
        m_htmlRows.append(row.html);
    }
    if (m_keepBlog) {
        makeRoom(m_blogCode, row.html.size(), row, true);
        appendBlogCode(m_blogCode, row.html);
    }
}

std::string_view CodeCollector::htmlRows() const
{
    return std::string_view(m_htmlRows).substr(MostOpeningTagBytes);
}

std::string_view CodeCollector::blogRows() const
{
    return std::string_view(m_blogCode).substr(MostOpeningTagBytes);
}

SharedCode CodeCollector::takeHtmlCode(const StyleFlags& style)
{
    return wrapInRoom(m_htmlRows, htmlCodeWrapping(style.bold, style.italic, style.centred));
}

SharedCode CodeCollector::takeBlogCode(const StyleFlags& style)
{
    return wrapInRoom(m_blogCode, blogCodeWrapping(style.bold, style.italic, style.centred));
}

} // namespace mosaiq
