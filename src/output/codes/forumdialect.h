#pragma once

#include "convert/colourform.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace mosaiq {

// How a post's size is counted by the forum that takes it.
enum class LimitUnit : unsigned char { Characters, Bytes };

// What a code is made of: bracket tags, or a chat platform's colour codes.
enum class CodeKind : unsigned char {
    Bracket,
    Discord, // a ```ansi block, SGR 30 to 37
    Irc, // mIRC colour codes, one message per row
    Ansi, // true-colour SGR, for a terminal
};

// What a glyph needs before it to be read as itself.
enum class GlyphEscape : unsigned char {
    None, // bracket code only: nothing else in the post is markup
    Markdown, // the post is Markdown too: a backslash before every ASCII punctuation mark
};

// The bracket code of one destination: its tags, escapes and post limit. Tags are written
// whole, so an empty one means the destination has no such thing.
struct ForumDialect {
    std::string_view name; // as --dialect takes it
    std::string_view colourOpen; // followed by RRGGBB (or a form of forms) and "]"
    std::string_view colourClose;
    std::string_view backgroundOpen; // followed by RRGGBB and "]"; empty: no background tag
    std::string_view backgroundClose;
    std::string_view boldOpen, boldClose;
    std::string_view italicOpen, italicClose;
    std::string_view centreOpen, centreClose; // empty: the forum cannot centre
    GlyphEscape escape = GlyphEscape::None;
    // Glyphs never merged with their neighbours: side by side, they could spell a tag.
    std::string_view standAlone;
    std::size_t postLimit = 0; // 0: none
    LimitUnit unit = LimitUnit::Characters;
    // The shorter colour texts the forum's own help says it reads, used with --best-runs.
    ColourForms forms;
    CodeKind kind = CodeKind::Bracket;
    // Written around the code and around each post whatever the style (Discord's fence).
    std::string_view codeOpen, codeClose;
    // Each row is a message of its own, of at most postLimit (IRC's lines).
    bool rowPerMessage = false;
};

// The blog code of the documents: [c=#RRGGBB], [f=#RRGGBB], [g], [i], [align=center].
const ForumDialect& blogDialect();

// Every dialect, the blog code's first.
std::span<const ForumDialect> forumDialects();

// The dialect called name, or nullptr.
const ForumDialect* findDialect(std::string_view name);

// The size of text in unit: its bytes, or its characters (UTF-8 lead bytes).
std::size_t sizeIn(std::string_view text, LimitUnit unit);

} // namespace mosaiq
