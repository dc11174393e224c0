#pragma once

#include "convert/rowloop.h"

#include <string>
#include <string_view>

namespace mosaiq {

// The blog code of HTML rows: twelve literal, case-sensitive replacements applied one after
// the other ("<font color=\"" to "[c=", "\">" to "]", ..., "<br>" to CR LF). Computed in one
// pass with the same result as the twelve steps in order.
std::string HtmlToBlogCode(std::string_view html);

// The size to reserve for the blog code of htmlBytes of HTML rows: a letter cell of 30 bytes is
// 16 in the blog code, a square cell of 77 is 31, "<br>" becomes CR LF.
constexpr std::size_t estimatedBlogCodeSize(std::size_t htmlBytes)
{
    return htmlBytes / 2 + htmlBytes / 16 + 16;
}

// The most bytes the blog code of htmlBytes of HTML can take: "<center>" grows by 6 bytes in 8,
// every other replacement shrinks or keeps its text.
constexpr std::size_t mostBlogCodeBytes(std::size_t htmlBytes)
{
    return htmlBytes + (htmlBytes * 3 + 3) / 4;
}

// Writes the blog code of html at out, which has room for mostBlogCodeBytes(html.size()), and
// returns the end of what it wrote.
char* writeBlogCode(char* out, std::string_view html);

// Writes at out the blog code of a row as a run builds it when every cell has its own colour tag
// and a glyph of one byte, straight from the cells' colours: the same bytes as writeBlogCode()
// of row.html, at a fraction of the work. Returns the end of what it wrote, or nullptr (nothing
// written) for any other row: merged cells, cells chosen by shape, a glyph of several bytes. out
// has room for mostBlogCodeBytes(row.html.size()).
char* writeBlogCodeOfCells(char* out, const BuiltRow& row);

// Writes at out the blog code of a row as a run builds it, from its cells where
// writeBlogCodeOfCells() can, else translated from its HTML; out has room for
// mostBlogCodeBytes(row.html.size()). Returns the end of what it wrote.
char* writeBlogCodeOfRow(char* out, const BuiltRow& row);
// code becomes the blog code of row (its memory kept from row to row).
void setBlogCodeOfRow(std::string& code, const BuiltRow& row);

// Appends the blog code of html to code. Rows may be translated one by one as a run makes them:
// no search text reaches across the "<br>" that ends a row, so the pieces join up to the
// translation of the whole.
void appendBlogCode(std::string& code, std::string_view html);

// The tags that wrap a code in the chosen styles, bold innermost, centre outermost.
struct CodeWrapping {
    std::string opening;
    std::string closing;
};
CodeWrapping blogCodeWrapping(bool bold, bool italic, bool centred);
CodeWrapping htmlCodeWrapping(bool bold, bool italic, bool centred);

// The most bytes a wrapping of either code puts before the code and after it.
constexpr std::size_t MostOpeningTagBytes = 20; // "[align=center][i][g]"
constexpr std::size_t MostClosingTagBytes = 16; // "[/g][/i][/align]"

// code wrapped in [g]...[/g], then [i]...[/i], then [align=center]...[/align] as chosen; the
// centre tag ends up outermost. Wraps in place.
void WrapBlogCode(std::string& code, bool bold, bool italic, bool centred);

// code wrapped in <b>, then <i>, then <center> as chosen, centre outermost. In place.
// A large code is better kept with room in front (CodeCollector): this moves it whole.
void WrapHtmlCode(std::string& code, bool bold, bool italic, bool centred);

} // namespace mosaiq
