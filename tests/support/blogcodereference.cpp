#include "support/blogcodereference.h"

#include <utility>

namespace mosaiq {

std::string HtmlToBlogCodeStepByStep(std::string_view html)
{
    // Written out on its own, not shared with the program, so that a mistake in one is not
    // copied into the other.
    static const std::pair<std::string_view, std::string_view> steps[] = {
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
    };
    std::string text(html);
    for (const auto& [search, replacement] : steps) {
        std::string next;
        std::size_t from = 0;
        for (std::size_t at; (at = text.find(search, from)) != std::string::npos;) {
            next.append(text, from, at - from);
            next += replacement;
            from = at + search.size();
        }
        next.append(text, from, std::string::npos);
        text = std::move(next);
    }
    return text;
}

} // namespace mosaiq
