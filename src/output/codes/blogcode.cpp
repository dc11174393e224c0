#include "output/codes/blogcode.h"

#include <array>
#include <cstring>

namespace mosaiq {

namespace {

    struct Replacement {
        std::string_view search;
        std::string_view replacement;
    };

    // In the order they are applied; the order matters where search texts overlap.
    constexpr std::array<Replacement, 12> Steps { {
        { "<font color=\"", "[c=" },
        { "\">", "]" },
        { "</font>", "[/c]" },
        { "</b>", "[/g]" },
        { "</i>", "[/i]" },
        { "<i>", "[i]" },
        { "<b>", "[g]" },
        { "<center>", "[align=center]" },
        { "</center>", "[/align]" },
        { "<span style=\"background-color: ", "[f=" },
        { "</span>", "[/f]" },
        { "<br>", "\r\n" },
    } };

} // namespace

// Why one pass gives the same text as the twelve steps in turn: every search text starts with
// "<" or "\"", and every replacement holds "[", "]" or CR, which no search text contains. So a
// later step can never match across text that an earlier step inserted, and replacements never
// join two pieces of the input. The only overlap between search texts in the input is a
// "<font color=\"" whose quote could also start "\">"; step 1 comes first and wins, as it does
// here by being tried first at the earlier position. Scanning left to right and taking, at each
// "<" or "\"", the first step that matches is therefore exact.
std::string HtmlToBlogCode(std::string_view html)
{
    std::string code;
    code.reserve(estimatedBlogCodeSize(html.size()));
    appendBlogCode(code, html);
    return code;
}

void appendBlogCode(std::string& code, std::string_view html)
{
    const char* const begin = html.data();
    const char* const end = begin + html.size();
    const char* copied = begin;
    const char* p = begin;
    while (p < end) {
        // Jump to the next place a search text can start.
        const char* lt = static_cast<const char*>(std::memchr(p, '<', std::size_t(end - p)));
        const char* quote
            = static_cast<const char*>(std::memchr(p, '"', std::size_t((lt ? lt : end) - p)));
        const char* at = quote ? quote : lt;
        if (!at)
            break;
        const std::string_view rest(at, std::size_t(end - at));
        const Replacement* found = nullptr;
        for (const auto& step : Steps) {
            if (rest.starts_with(step.search)) {
                found = &step;
                break;
            }
        }
        if (!found) {
            p = at + 1;
            continue;
        }
        code.append(copied, at);
        code += found->replacement;
        p = copied = at + found->search.size();
    }
    code.append(copied, end);
}

namespace {

    CodeWrapping wrapping(
        bool bold, bool italic, bool centred, const std::array<std::string_view, 6>& tags)
    {
        CodeWrapping result;
        if (bold) {
            result.opening.insert(0, tags[0]);
            result.closing += tags[1];
        }
        if (italic) {
            result.opening.insert(0, tags[2]);
            result.closing += tags[3];
        }
        if (centred) {
            result.opening.insert(0, tags[4]);
            result.closing += tags[5];
        }
        return result;
    }

    constexpr std::array<std::string_view, 6> BlogTags { "[g]", "[/g]", "[i]", "[/i]",
        "[align=center]", "[/align]" };
    constexpr std::array<std::string_view, 6> HtmlTags { "<b>", "</b>", "<i>", "</i>", "<center>",
        "</center>" };

    void wrap(std::string& code, const CodeWrapping& tags)
    {
        code.insert(0, tags.opening);
        code += tags.closing;
    }

} // namespace

CodeWrapping blogCodeWrapping(bool bold, bool italic, bool centred)
{
    return wrapping(bold, italic, centred, BlogTags);
}

CodeWrapping htmlCodeWrapping(bool bold, bool italic, bool centred)
{
    return wrapping(bold, italic, centred, HtmlTags);
}

void WrapBlogCode(std::string& code, bool bold, bool italic, bool centred)
{
    wrap(code, blogCodeWrapping(bold, italic, centred));
}

void WrapHtmlCode(std::string& code, bool bold, bool italic, bool centred)
{
    wrap(code, htmlCodeWrapping(bold, italic, centred));
}

} // namespace mosaiq
