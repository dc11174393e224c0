#include "output/codes/blogcode.h"
#include "output/codes/codecollector.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sys/resource.h>

#include <string>
#include <vector>

using namespace mosaiq;

namespace {

// Rows of uneven length, the first the shortest, so that the later ones outgrow what the first
// one foretold.
std::vector<std::string> unevenRows()
{
    std::vector<std::string> rows { "<font color=\"#FF0000\">o</font><br>" };
    for (int i = 1; i < 40; ++i) {
        std::string row;
        for (int k = 0; k < i * 3; ++k)
            row += "<span style=\"background-color: #00FF00\"><font color=\"#0000FF\">\"</font>"
                   "</span>";
        rows.push_back(row + "<br>");
    }
    // Larger than a spool writes at once.
    std::string large;
    for (int k = 0; k < 150000; ++k)
        large += "<font color=\"#0000FF\">\"</font>";
    rows.push_back(large + "<br>");
    return rows;
}

// Where the lines of code start: 0, then past each LF.
std::vector<std::int64_t> linesOf(std::string_view code)
{
    std::vector<std::int64_t> starts { 0 };
    for (std::size_t i = 0; i < code.size(); ++i)
        if (code[i] == '\n')
            starts.push_back(std::int64_t(i + 1));
    return starts;
}

// Where the collector keeps the codes: in memory, in files beside the page, in files that
// cannot be written past their first bytes (a full disk), or in memory for want of a folder.
enum class Storage { Memory, Spooled, SpoolFails, NoFolder };

// Files may grow to at most limit bytes while it lives; writes past that fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit changed = m_old;
        changed.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &changed);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

// The wrapped codes the window and mosaiq-cli deliver must be byte for byte what wrapping the
// whole rows gives, for every style and wherever they are kept, without the rows moving to
// make room for the tags.
TEST(CodeCollector, wrapsInItsRoomAsTheWrappersWrapTheWholeRows)
{
    const std::vector<std::string> rows = unevenRows();
    std::string html;
    for (const std::string& row : rows)
        html += row;
    for (Storage storage :
        { Storage::Memory, Storage::Spooled, Storage::SpoolFails, Storage::NoFolder })
        for (int styles = 0; styles < 8; ++styles) {
            const StyleFlags style { bool(styles & 1), bool(styles & 2), bool(styles & 4) };
            std::optional<FileSizeLimit> limit;
            if (storage == Storage::SpoolFails)
                limit.emplace(4096);
            CodeCollector codes(std::int64_t(rows.size()));
            if (storage != Storage::Memory)
                codes.spoolTo(
                    storage == Storage::NoFolder ? "/no/such/folder" : testing::TempDir());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                BuiltRow row;
                row.number = std::int64_t(i + 1);
                row.html = row.page = rows[i];
                codes.rowBuilt(row);
            }
            const char* htmlRowsAt = codes.htmlRows().data();

            std::string expectedHtml = html;
            WrapHtmlCode(expectedHtml, style.bold, style.italic, style.centred);
            std::string expectedBlog = HtmlToBlogCode(html);
            WrapBlogCode(expectedBlog, style.bold, style.italic, style.centred);
            const CodeWrapping htmlTags = htmlCodeWrapping(style.bold, style.italic, style.centred);
            const CodeWrapping blogTags = blogCodeWrapping(style.bold, style.italic, style.centred);
            EXPECT_LE(blogTags.opening.size(), MostOpeningTagBytes);
            EXPECT_LE(blogTags.closing.size(), MostClosingTagBytes);

            const SharedCode htmlCode = codes.takeHtmlCode(style);
            const SharedCode blogCode = codes.takeBlogCode(style);
            const std::string label = std::to_string(int(storage)) + "/" + std::to_string(styles);
            EXPECT_TRUE(htmlCode.view() == expectedHtml) << label;
            EXPECT_TRUE(blogCode.view() == expectedBlog) << label;
            if (storage == Storage::Memory) {
                EXPECT_EQ(htmlCode.data() + htmlTags.opening.size(), htmlRowsAt) << label;
            }
            // The panes lay the codes out from the line starts found as the rows came.
            ASSERT_TRUE(htmlCode.lineStarts() && blogCode.lineStarts());
            EXPECT_EQ(*htmlCode.lineStarts(), linesOf(htmlCode.view())) << label;
            EXPECT_EQ(*blogCode.lineStarts(), linesOf(blogCode.view())) << label;
            // Taken away: the collector holds nothing more.
            EXPECT_TRUE(codes.htmlRows().empty());
        }
}

TEST(SharedCode, viewsAreClampedToTheirBuffer)
{
    const auto buffer = std::make_shared<const std::string>("abcdef");
    EXPECT_EQ(SharedCode(buffer, 2, 3).view(), "cde");
    EXPECT_EQ(SharedCode(buffer, 4, 99).view(), "ef");
    EXPECT_EQ(SharedCode(buffer, 99, 1).view(), "");
    EXPECT_TRUE(SharedCode().empty());
    EXPECT_EQ(SharedCode(std::string("xyz")).view(), "xyz");
}
