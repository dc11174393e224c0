#include "output/codecollector.h"

#include "output/blogcode.h"

#include <algorithm>

namespace mosaiq {

void CodeCollector::rowBuilt(const BuiltRow& row)
{
    // Growing a code of tens of megabytes by doubling would copy it again and again and hold two
    // copies at the peak; once the first row shows the size, ask for it all, capped so that a
    // strange estimate cannot fail the run.
    if (row.number == 1) {
        constexpr double Cap = 1.5e9;
        const double html = std::min(Cap, double(row.html.size()) * double(m_rowCount) + 64);
        if (m_keepHtml)
            m_htmlRows.reserve(std::size_t(html));
        if (m_keepBlog)
            m_blogCode.reserve(estimatedBlogCodeSize(std::size_t(html)));
    }
    if (m_keepHtml)
        m_htmlRows.append(row.html);
    if (m_keepBlog)
        appendBlogCode(m_blogCode, row.html);
}

} // namespace mosaiq
