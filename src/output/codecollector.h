#pragma once

#include "convert/htmldocument.h"
#include "convert/rowloop.h"
#include "output/blogcode.h"
#include "output/sharedcode.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

// The two codes of a run, gathered row by row: the HTML rows as they are, and their blog code
// translated as each row comes, so that no long pause follows the last row. Each code keeps room
// in front of it and behind it for the style tags, which are written there once the run is over:
// a code of hundreds of megabytes is wrapped without a byte of it moving.
class CodeCollector : public RowSink {
public:
    // rowCount: the rows the run will make, to reserve the codes once. A code not asked for
    // is neither kept nor translated.
    explicit CodeCollector(std::int64_t rowCount, bool keepHtml = true, bool keepBlog = true);

    void rowBuilt(const BuiltRow& row) override;

    // The rows gathered so far, without tags.
    std::string_view htmlRows() const;
    std::string_view blogRows() const;

    // The codes wrapped in the tags of style, as WrapHtmlCode and WrapBlogCode would wrap them;
    // the collector's copy is taken away.
    SharedCode takeHtmlCode(const StyleFlags& style);
    SharedCode takeBlogCode(const StyleFlags& style);

private:
    void makeRoom(std::string& code, std::size_t adding, const BuiltRow& row, bool blog);
    static void findLines(
        const std::string& code, std::size_t from, std::vector<std::int64_t>& lineStarts);
    static SharedCode wrapInRoom(
        std::string& code, std::vector<std::int64_t>& lineStarts, const CodeWrapping& tags);

    std::int64_t m_rowCount;
    bool m_keepHtml;
    bool m_keepBlog;
    // Each: MostOpeningTagBytes of room, then the rows.
    std::string m_htmlRows;
    std::string m_blogCode;
    // Where each line of the rows starts past the first, found as the rows come, while they are
    // still in the cache.
    std::vector<std::int64_t> m_htmlLines;
    std::vector<std::int64_t> m_blogLines;
};

} // namespace mosaiq
