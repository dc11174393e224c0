#include "output/codes/blogcode.h"
#include "run/codeoutputs.h"
#include "support/noisepicture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mosaiq;

namespace {

class NullPage : public PageSink {
public:
    bool writeLine(std::string_view) override { return true; }
};

// Keeps what it is given; with lending, the rows are made in its memory; it fails once it holds
// failAfter bytes.
class KeptCode : public CodeSink {
public:
    explicit KeptCode(bool lending = false, std::size_t failAfter = std::size_t(-1))
        : m_lending(lending)
        , m_failAfter(failAfter)
    {
    }
    bool append(std::string_view bytes) override
    {
        text += bytes;
        return text.size() < m_failAfter;
    }
    char* lend(std::size_t bytes) override
    {
        if (!m_lending)
            return nullptr;
        m_lent.resize(bytes);
        return m_lent.data();
    }
    bool commitLent(std::size_t bytes) override { return append(m_lent.substr(0, bytes)); }
    std::string text;

private:
    bool m_lending;
    std::size_t m_failAfter;
    std::string m_lent;
};

class KeptPosts : public PostSink {
public:
    bool post(std::string_view opening, std::string_view rows, std::string_view closing) override
    {
        posts.push_back(std::string(opening) + std::string(rows) + std::string(closing));
        return true;
    }
    std::vector<std::string> posts;
};

// Runs a noise picture of columns x rows cells through outputs, the HTML rows kept in html.
LoopStep runCodes(std::vector<CodeOutputs*> outputs, std::int64_t columns, std::int64_t rows,
    std::string* html = nullptr)
{
    const NoisePicture picture(std::int32_t(columns + 1), std::int32_t(rows + 1));
    RunStart start;
    start.rows = double(rows);
    RowInput input { double(columns), double(rows), CellMode::Letter, U"o", picture.buffer };
    FixedSettings settings(input, {});
    NullPage page;
    RandomGlyphs random;
    RowLoop loop(start, settings, page, random);
    struct HtmlKeeper : RowSink {
        std::string* html;
        void rowBuilt(const BuiltRow& row) override
        {
            if (html)
                *html += row.html;
        }
    } keeper;
    keeper.html = html;
    loop.addSink(keeper);
    for (CodeOutputs* codes : outputs)
        loop.addSink(*codes);
    const LoopStep step = loop.runToEnd();
    for (CodeOutputs* codes : outputs)
        codes->finish();
    return step;
}

} // namespace

TEST(CodeOutputs, theCodesAreTheSameWhetherTheSinkLendsItsMemoryOrNot)
{
    const StyleFlags style { true, false, true };
    KeptCode html, blog, lendingHtml(true), lendingBlog(true), failing(false, 100);
    CodeOutputs plain({ &html, &blog }, blogDialect(), false, style);
    CodeOutputs lending({ &lendingHtml, &lendingBlog }, blogDialect(), false, style);
    CodeOutputs failed({ nullptr, &failing }, blogDialect(), false, style);
    std::string rows;
    ASSERT_EQ(runCodes({ &plain, &lending, &failed }, 7, 5, &rows), LoopStep::Finished);

    const CodeWrapping htmlTags = htmlCodeWrapping(true, false, true);
    const CodeWrapping blogTags = blogCodeWrapping(true, false, true);
    EXPECT_EQ(html.text, htmlTags.opening + rows + htmlTags.closing);
    EXPECT_EQ(blog.text, blogTags.opening + HtmlToBlogCode(rows) + blogTags.closing);
    EXPECT_EQ(lendingHtml.text, html.text);
    EXPECT_EQ(lendingBlog.text, blog.text);
    EXPECT_EQ(plain.blogBytes(), HtmlToBlogCode(rows).size());
    // A sink that fails is written no more.
    EXPECT_TRUE(failed.failed());
    EXPECT_LT(failing.text.size(), blog.text.size());
}

TEST(CodeOutputs, postsJoinedGiveTheCodeAndAChatRowLongerThanAMessageCannotBePosted)
{
    // 200 letter cells make a row of about 5,000 characters of phpBB code, 30 rows more than its
    // post limit of 60,000; and a row of IRC longer than its message of 510 bytes.
    KeptCode forumCode, chatCode;
    KeptPosts forumPosts;
    CodeOutputs forum({ nullptr, &forumCode, &forumPosts }, *findDialect("phpbb"), true, {});
    // Each row of a chat is a message: nothing to cut, but too long even uncut.
    CodeOutputs chat({ nullptr, &chatCode }, *findDialect("irc"), true, {});
    ASSERT_EQ(runCodes({ &forum, &chat }, 200, 30), LoopStep::Finished);

    EXPECT_EQ(forum.rowTooLong(), 0);
    ASSERT_GE(forumPosts.posts.size(), 2u);
    EXPECT_EQ(forum.posts(), forumPosts.posts.size());
    std::string joined;
    for (const std::string& post : forumPosts.posts)
        joined += post;
    EXPECT_EQ(joined, forumCode.text);

    EXPECT_EQ(chat.rowTooLong(), 1);
}
