#include "output/codes/blogcode.h"
#include "output/codes/codecollector.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <sys/resource.h>

#include <string>
#include <vector>

using namespace mosaiq;

namespace {

// Rows of uneven length, the first the shortest, so that the later ones outgrow what the first
// one foretold, and the blog code each translates to, cell by cell.
struct Rows {
    std::vector<std::string> html;
    std::string blog;
};

Rows unevenRows()
{
    const std::string square
        = "<span style=\"background-color: #00FF00\"><font color=\"#0000FF\">\"</font></span>";
    const std::string squareBlog = "[f=#00FF00][c=#0000FF]\"[/c][/f]";
    const std::string letter = "<font color=\"#0000FF\">\"</font>";
    const std::string letterBlog = "[c=#0000FF]\"[/c]";
    Rows rows { { "<font color=\"#FF0000\">o</font><br>" }, "[c=#FF0000]o[/c]\r\n" };
    for (int i = 1; i < 40; ++i) {
        std::string row;
        for (int k = 0; k < i * 3; ++k) {
            row += square;
            rows.blog += squareBlog;
        }
        rows.html.push_back(row + "<br>");
        rows.blog += "\r\n";
    }
    // Larger than a spool writes at once.
    std::string large;
    for (int k = 0; k < 150000; ++k) {
        large += letter;
        rows.blog += letterBlog;
    }
    rows.html.push_back(large + "<br>");
    rows.blog += "\r\n";
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

// The tags of each style, centre outermost and bold innermost.
struct Tags {
    StyleFlags style;
    const char *htmlOpening, *htmlClosing, *blogOpening, *blogClosing;
};
const Tags EveryStyle[] = {
    { { false, false, false }, "", "", "", "" },
    { { true, false, false }, "<b>", "</b>", "[g]", "[/g]" },
    { { false, true, false }, "<i>", "</i>", "[i]", "[/i]" },
    { { true, true, false }, "<i><b>", "</b></i>", "[i][g]", "[/g][/i]" },
    { { false, false, true }, "<center>", "</center>", "[align=center]", "[/align]" },
    { { true, false, true }, "<center><b>", "</b></center>", "[align=center][g]", "[/g][/align]" },
    { { false, true, true }, "<center><i>", "</i></center>", "[align=center][i]", "[/i][/align]" },
    { { true, true, true }, "<center><i><b>", "</b></i></center>", "[align=center][i][g]",
        "[/g][/i][/align]" },
};

} // namespace

// The codes the window and mosaiq-cli deliver, wrapped in the tags of every style, wherever they
// are kept, without the rows moving to make room for the tags.
TEST(CodeCollector, wrapsTheCodesInTheirRoomInEveryStyle)
{
    const Rows rows = unevenRows();
    std::string html;
    for (const std::string& row : rows.html)
        html += row;
    for (Storage storage :
        { Storage::Memory, Storage::Spooled, Storage::SpoolFails, Storage::NoFolder })
        for (const Tags& tags : EveryStyle) {
            std::optional<FileSizeLimit> limit;
            if (storage == Storage::SpoolFails)
                limit.emplace(4096);
            CodeCollector codes(std::int64_t(rows.html.size()));
            if (storage != Storage::Memory)
                codes.spoolTo(
                    storage == Storage::NoFolder ? "/no/such/folder" : testing::TempDir());
            for (std::size_t i = 0; i < rows.html.size(); ++i) {
                BuiltRow row;
                row.number = std::int64_t(i + 1);
                row.html = row.page = rows.html[i];
                codes.rowBuilt(row);
            }
            const char* htmlRowsAt = codes.htmlRows().data();
            EXPECT_LE(std::strlen(tags.blogOpening), MostOpeningTagBytes);
            EXPECT_LE(std::strlen(tags.blogClosing), MostClosingTagBytes);

            const SharedCode htmlCode = codes.takeHtmlCode(tags.style);
            const SharedCode blogCode = codes.takeBlogCode(tags.style);
            const std::string label = std::to_string(int(storage)) + " " + tags.htmlOpening;
            EXPECT_TRUE(htmlCode.view() == tags.htmlOpening + html + tags.htmlClosing) << label;
            EXPECT_TRUE(blogCode.view() == tags.blogOpening + rows.blog + tags.blogClosing)
                << label;
            if (storage == Storage::Memory) {
                EXPECT_EQ(htmlCode.data() + std::strlen(tags.htmlOpening), htmlRowsAt) << label;
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
