#include "output/codecollector.h"

#include "output/blogcode.h"

#include <algorithm>
#include <cstring>

namespace mosaiq {

namespace {

    constexpr double ReserveCap = 1.5e9;

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
        const std::size_t from = m_htmlRows.size();
        m_htmlRows.append(row.html);
        findLines(m_htmlRows, from, m_htmlLines);
    }
    if (m_keepBlog) {
        makeRoom(m_blogCode, row.html.size(), row, true);
        const std::size_t from = m_blogCode.size();
        appendBlogCode(m_blogCode, row.html);
        findLines(m_blogCode, from, m_blogLines);
    }
}

void CodeCollector::findLines(
    const std::string& code, std::size_t from, std::vector<std::int64_t>& lineStarts)
{
    const char* const data = code.data();
    const char* const end = data + code.size();
    for (const char* p = data + from; p < end;) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!lf)
            break;
        p = lf + 1;
        lineStarts.push_back(std::int64_t(p - data - MostOpeningTagBytes));
    }
}

// The opening tags go into the room in front of the rows, the closing ones into the reserve
// behind; neither holds a line end.
SharedCode CodeCollector::wrapInRoom(
    std::string& code, std::vector<std::int64_t>& lineStarts, const CodeWrapping& tags)
{
    const std::size_t start = MostOpeningTagBytes - tags.opening.size();
    code.replace(start, tags.opening.size(), tags.opening);
    code += tags.closing;
    const std::size_t size = code.size() - start;
    auto lines = std::make_shared<std::vector<std::int64_t>>();
    lines->reserve(lineStarts.size() + 1);
    lines->push_back(0);
    for (const std::int64_t line : lineStarts)
        lines->push_back(line + std::int64_t(tags.opening.size()));
    auto buffer = std::make_shared<const std::string>(std::move(code));
    code = std::string(MostOpeningTagBytes, ' ');
    lineStarts.clear();
    return SharedCode(std::move(buffer), start, size, std::move(lines));
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
    return wrapInRoom(
        m_htmlRows, m_htmlLines, htmlCodeWrapping(style.bold, style.italic, style.centred));
}

SharedCode CodeCollector::takeBlogCode(const StyleFlags& style)
{
    return wrapInRoom(
        m_blogCode, m_blogLines, blogCodeWrapping(style.bold, style.italic, style.centred));
}

} // namespace mosaiq
