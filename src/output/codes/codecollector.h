#pragma once

#include "convert/htmldocument.h"
#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "output/codes/codespool.h"
#include "output/codes/sharedcode.h"

#include <cstdint>
#include <memory>
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

    // From now on the codes go to files of their own in directory (see CodeSpool) rather than
    // to memory; a code whose file cannot be made or written carries on in memory.
    void spoolTo(const std::string& directory);

    void rowBuilt(const BuiltRow& row) override;

    // The rows gathered in memory so far, without tags (empty for a spooled code).
    std::string_view htmlRows() const;
    std::string_view blogRows() const;

    // The codes wrapped in the tags of style, as WrapHtmlCode and WrapBlogCode would wrap them;
    // the collector's copy is taken away.
    SharedCode takeHtmlCode(const StyleFlags& style);
    SharedCode takeBlogCode(const StyleFlags& style);

private:
    struct Code {
        // MostOpeningTagBytes of room, then the rows; unused while spooled.
        std::string memory = std::string(MostOpeningTagBytes, ' ');
        std::unique_ptr<CodeSpool> spool;
        std::int64_t rowBytes = 0;
        // Where each line of the rows starts past the first, found as the rows come, while they
        // are still in the cache.
        std::vector<std::int64_t> lineStarts;
    };
    void makeRoom(std::string& code, std::size_t adding, const BuiltRow& row, bool blog);
    static void add(Code& code, std::string_view bytes);
    static SharedCode take(Code& code, const CodeWrapping& tags);

    std::int64_t m_rowCount;
    bool m_keepHtml;
    bool m_keepBlog;
    Code m_html;
    Code m_blog;
    std::string m_blogRow; // the row being translated
};

} // namespace mosaiq
