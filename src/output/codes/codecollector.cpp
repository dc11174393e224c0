#include "output/codes/codecollector.h"

#include "output/codes/blogcode.h"

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
{
}

void CodeCollector::spoolTo(const std::string& directory)
{
    for (Code* code : { m_keepHtml ? &m_html : nullptr, m_keepBlog ? &m_blog : nullptr }) {
        if (!code || code->rowBytes > 0)
            continue;
        code->spool = std::make_unique<CodeSpool>(directory, MostOpeningTagBytes);
        if (!code->spool->ok())
            code->spool.reset();
    }
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
        if (!m_html.spool)
            makeRoom(m_html.memory, row.html.size(), row, false);
        add(m_html, row.html);
    }
    if (m_keepBlog) {
        if (!m_blog.spool)
            makeRoom(m_blog.memory, row.html.size(), row, true);
        setBlogCodeOfRow(m_blogRow, row);
        add(m_blog, m_blogRow);
    }
}

void CodeCollector::add(Code& code, std::string_view bytes)
{
    for (const char* p = bytes.data(); p < bytes.data() + bytes.size();) {
        const auto* lf = static_cast<const char*>(
            std::memchr(p, '\n', std::size_t(bytes.data() + bytes.size() - p)));
        if (!lf)
            break;
        p = lf + 1;
        code.lineStarts.push_back(code.rowBytes + std::int64_t(p - bytes.data()));
    }
    const std::int64_t before = code.rowBytes;
    code.rowBytes += std::int64_t(bytes.size());
    if (code.spool) {
        if (code.spool->append(bytes))
            return;
        // A full disk, say: the code carries on in memory.
        code.memory = code.spool->readBack(MostOpeningTagBytes + std::uint64_t(before));
        code.spool.reset();
    }
    code.memory.append(bytes);
}

// The opening tags go into the room in front of the rows, the closing ones into the reserve
// behind; neither holds a line end.
SharedCode CodeCollector::take(Code& code, const CodeWrapping& tags)
{
    auto lines = std::make_shared<std::vector<std::int64_t>>();
    lines->reserve(code.lineStarts.size() + 1);
    lines->push_back(0);
    for (const std::int64_t line : code.lineStarts)
        lines->push_back(line + std::int64_t(tags.opening.size()));
    const std::uint64_t spooled = MostOpeningTagBytes + std::uint64_t(code.rowBytes);
    Code taken = std::move(code);
    code = Code();
    if (taken.spool) {
        if (auto mapped = taken.spool->map(tags.opening, tags.closing, lines))
            return *mapped;
        taken.memory = taken.spool->readBack(spooled);
    }
    std::string& bytes = taken.memory;
    const std::size_t start = MostOpeningTagBytes - tags.opening.size();
    bytes.replace(start, tags.opening.size(), tags.opening);
    bytes += tags.closing;
    const std::size_t size = bytes.size() - start;
    return SharedCode(
        std::make_shared<const std::string>(std::move(bytes)), start, size, std::move(lines));
}

std::string_view CodeCollector::htmlRows() const
{
    return std::string_view(m_html.memory).substr(MostOpeningTagBytes);
}

std::string_view CodeCollector::blogRows() const
{
    return std::string_view(m_blog.memory).substr(MostOpeningTagBytes);
}

SharedCode CodeCollector::takeHtmlCode(const StyleFlags& style)
{
    return take(m_html, htmlCodeWrapping(style.bold, style.italic, style.centred));
}

SharedCode CodeCollector::takeBlogCode(const StyleFlags& style)
{
    return take(m_blog, blogCodeWrapping(style.bold, style.italic, style.centred));
}

} // namespace mosaiq
