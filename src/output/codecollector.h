#pragma once

#include "convert/rowloop.h"

#include <cstdint>
#include <string>

namespace mosaiq {

// The two codes of a run, gathered row by row: the HTML rows as they are, and their blog code
// translated as each row comes, so that no long pause follows the last row.
class CodeCollector : public RowSink {
public:
    // rowCount: the rows the run will make, to reserve the codes once. A code not asked for
    // is neither kept nor translated.
    explicit CodeCollector(std::int64_t rowCount, bool keepHtml = true, bool keepBlog = true)
        : m_rowCount(rowCount)
        , m_keepHtml(keepHtml)
        , m_keepBlog(keepBlog)
    {
    }

    void rowBuilt(const BuiltRow& row) override;

    std::string& htmlRows() { return m_htmlRows; }
    std::string& blogCode() { return m_blogCode; }

private:
    std::int64_t m_rowCount;
    bool m_keepHtml;
    bool m_keepBlog;
    std::string m_htmlRows;
    std::string m_blogCode;
};

} // namespace mosaiq
